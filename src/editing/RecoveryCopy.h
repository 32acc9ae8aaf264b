#pragma once

#include "store/Tables.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The unsaved state of the open day, as kept for the next start after a crash: its name (empty for a
// day not yet named), its blocks, the stored rows a save of it would replace, and the chosen treatment.
struct RecoveryCopy {
    QString day;
    QDateTime time; // local time of the step it holds
    QString host;   // the workstation that wrote it
    QString treatment;
    // The practice database it belongs to (the file's full path or the server's address); empty in a
    // copy of an older version, which is offered whatever database is open.
    QString database;
    QList<TemplateRow> blocks;
    RowsOnScreen onScreen;

    QByteArray encode() const;
    // Throws LunarisError when the text is not a copy this program wrote.
    static RecoveryCopy decode(const QByteArray& text);
};

// The recovery copy of one workstation in the user's own data folder. Each workstation has its own
// file (one home on a network drive serves several), written whole or not at all.
class RecoveryFile {
public:
    RecoveryFile(const QString& folder, const QString& host);

    QString path() const { return m_path; }
    // Throws LunarisError when the folder or the file cannot be written.
    void write(const RecoveryCopy& copy) const;
    // The copy, none when there is no file; throws LunarisError when it cannot be read.
    std::optional<RecoveryCopy> read() const;
    void remove() const;
    // Renames a copy that cannot be read, so that nothing is lost and the next start is not asked
    // again; returns its new path (empty when it could not be renamed).
    QString setAside(const QDateTime& now) const;
    // Puts the copy out of the way of this run's copies ("Später"): it keeps its contents under a name of
    // its own beside them and is offered again at the next start. False when it could not be moved.
    bool postpone(const QDateTime& now) const;
    // What a start offers, in this order: this copy, then the ones put off earlier, newest first (the
    // ones that exist; damaged ones set aside are not among them).
    QList<RecoveryFile> offered() const;
    // Called half-way through each write, the first half on disk and the previous copy still in place:
    // where tests kill the program to prove that a write cut short loses nothing.
    void setMidWriteHook(std::function<void()> hook) { m_midWrite = std::move(hook); }

private:
    explicit RecoveryFile(const QString& path) : m_path(path) {}

    QString m_path;
    std::function<void()> m_midWrite;
};

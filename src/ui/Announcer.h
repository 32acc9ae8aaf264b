#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// A widget whose focus lies on an item of its own (a day view's row): it speaks an announcement there.
class AnnouncementTarget {
public:
    virtual ~AnnouncementTarget() = default;
    virtual void announce(const QString& text) = 0;
};

// Tells screen readers, once, what a step did ("KONT 09:10 entfernt"). Qt has no announcement event;
// Orca speaks a change of the description of the object it has as its focus, so the text becomes the
// description of the focused widget (or of its focused item) for as long as the focus stays there.
// While no widget has the focus, or a dialog is about to close, the text waits for the focus to settle.
class Announcer : public QObject {
    Q_OBJECT
public:
    explicit Announcer(QObject* parent = nullptr);
    ~Announcer() override;

    void announce(const QString& text);

private:
    void deliver();
    void focusChanged(QWidget* old, QWidget* now);
    void restoreDescription();

    QString m_pending;
    // The widget that carries an announcement as its description, and what it had before.
    QPointer<QWidget> m_described;
    QString m_descriptionBefore;
};

#pragma once

#include "store/ConnectionSetting.h"

#include <QDialog>

#include <optional>

struct AppServices;
class MessageService;
class ModalRunner;
class SettingsStore;
class QLineEdit;
class QPushButton;
class QButtonGroup;
class QLabel;
class QRadioButton;

// The dialog "Datenbank": where the practice database lives, the file beside the program or a
// PostgreSQL server. "Verbindung testen" and "Daten übertragen..." run in a thread of their own behind a
// progress window with "Abbrechen", so the window never freezes on a slow or dead network. OK writes the setting
// Datenbank/Verbindung under the program's own name; a password typed here goes into libpq's password file, never into
// the settings. The running program keeps its database until the next start.
class frmDatenbank : public QDialog {
    Q_OBJECT
public:
    // runningConnect: the connection the running program uses, to tell whether a restart is needed;
    // practiceFile: the database file beside the program, which "Daten übertragen..." copies.
    frmDatenbank(AppServices& services, const QString& runningConnect, const QString& practiceFile,
                 QWidget* parent = nullptr);
    // Before any database is open (a start whose connection failed): no running connection, so OK
    // asks for no restart.
    frmDatenbank(SettingsStore& settings, MessageService& messages, ModalRunner& modals,
                 std::optional<QString> runningConnect, const QString& practiceFile, QWidget* parent = nullptr);

private:
    QWidget* encryptionChoice();
    void Form_Load();
    void optionChanged();
    void cmdTest_Click();
    void cmdOK_Click();
    void cmdUebertragen_Click();
    void cmdZertifikat_Click();
    // The choice of encryption from the stored URI's sslmode: a new connection checks the certificate.
    void showEncryption(const QString& sslMode, const QString& rootCertificate);
    // The options of the typed server: the kept ones with the chosen encryption.
    QList<QPair<QString, QString>> typedOptions() const;
    // The server the fields name, or a German reason why they name none.
    std::optional<ServerAddress> typedServer(QString& problem) const;
    void warn(const QString& text);

    SettingsStore& m_settings;
    MessageService& m_messages;
    // Shows the progress window of the connection test and the copy, which run in a worker thread.
    ModalRunner& m_modals;
    std::optional<QString> m_runningConnect;
    QString m_practiceFile;
    // Options of the stored URI (connect_timeout, ...) that the fields do not show; kept on OK.
    QList<QPair<QString, QString>> m_keptOptions;
    QRadioButton* m_optDatei;
    QRadioButton* m_optServer;
    QLineEdit* m_txtServer;
    QLineEdit* m_txtPort;
    QLineEdit* m_txtDatenbank;
    QLineEdit* m_txtBenutzer;
    QLineEdit* m_txtPasswort;
    QButtonGroup* m_encryption;
    QRadioButton* m_optPruefen;
    QRadioButton* m_optVerschluesselt;
    QRadioButton* m_optUnverschluesselt;
    QLineEdit* m_txtZertifikat;
    QPushButton* m_cmdZertifikat;
    QLabel* m_lblUnverschluesselt;
    QPushButton* m_cmdTest;
    QPushButton* m_cmdUebertragen;
    QPushButton* m_cmdOK;
    QPushButton* m_cmdAbbrechen;
};

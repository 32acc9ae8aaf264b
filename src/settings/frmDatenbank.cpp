#include "settings/frmDatenbank.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "settings/ConnectionSettingStore.h"
#include "settings/SettingsStore.h"
#include "store/Database.h"
#include "store/PasswordFile.h"
#include "store/PracticeTransfer.h"
#include "store/ServerConnection.h"
#include "ui/BackgroundWork.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {
const QString Title = QStringLiteral("Datenbank");
const QString SslMode = QStringLiteral("sslmode");
const QString RootCertificate = QStringLiteral("sslrootcert");

QLineEdit* addField(QFormLayout* form, const char* name, const QString& label)
{
    auto* box = new QLineEdit;
    box->setObjectName(QLatin1String(name));
    form->addRow(label, box);
    return box;
}

QPushButton* makeButton(const char* name, const QString& text)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}
} // namespace

frmDatenbank::frmDatenbank(AppServices& services, const QString& runningConnect, const QString& practiceFile,
                           QWidget* parent)
    : frmDatenbank(services.settings, services.messages, services.modals, runningConnect, practiceFile, parent)
{
    // A workstation that may only read writes nothing to a server either.
    if (const QString readOnly = services.database.readOnlyReason(); !readOnly.isEmpty()) {
        m_cmdUebertragen->setEnabled(false);
        m_cmdUebertragen->setToolTip(readOnly);
    }
}

QWidget* frmDatenbank::encryptionChoice()
{
    auto* choice = new QWidget;
    auto* column = new QVBoxLayout(choice);
    column->setContentsMargins(0, 0, 0, 0);
    m_encryption = new QButtonGroup(this);
    const auto option = [&](const char* name, const QString& text) {
        auto* button = new QRadioButton(text);
        button->setObjectName(QLatin1String(name));
        m_encryption->addButton(button);
        column->addWidget(button);
        return button;
    };
    m_optPruefen = option("optPruefen", QStringLiteral("Zertifikat prüfen (empfohlen)"));
    auto* certificate = new QHBoxLayout;
    certificate->setContentsMargins(20, 0, 0, 0);
    auto* certificateLabel = new QLabel(QStringLiteral("Zertifikat der Praxis:"));
    m_txtZertifikat = new QLineEdit;
    m_txtZertifikat->setObjectName(QStringLiteral("txtZertifikat"));
    m_txtZertifikat->setMinimumWidth(220);
    certificateLabel->setBuddy(m_txtZertifikat);
    m_cmdZertifikat = makeButton("cmdZertifikat", QStringLiteral("..."));
    m_cmdZertifikat->setAccessibleName(QStringLiteral("Zertifikat wählen"));
    // A small button beside the field, as "..." buttons are.
    m_cmdZertifikat->setMaximumWidth(m_cmdZertifikat->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 4);
    certificate->addWidget(certificateLabel);
    certificate->addWidget(m_txtZertifikat, 1);
    certificate->addWidget(m_cmdZertifikat);
    column->addLayout(certificate);
    m_optVerschluesselt = option("optVerschluesselt", QStringLiteral("Verschlüsselt, ohne Prüfung"));
    m_optUnverschluesselt = option("optUnverschluesselt", QStringLiteral("Unverschlüsselt"));
    m_lblUnverschluesselt = new QLabel(QStringLiteral("Warnung: Passwort und Patientendaten gehen lesbar durch das "
                                                      "Netz.\nNur für einen Server auf diesem Rechner."));
    m_lblUnverschluesselt->setObjectName(QStringLiteral("lblUnverschluesselt"));
    QPalette palette = m_lblUnverschluesselt->palette();
    palette.setColor(QPalette::WindowText, QColor(Qt::darkRed));
    m_lblUnverschluesselt->setPalette(palette);
    m_lblUnverschluesselt->setContentsMargins(20, 0, 0, 0);
    column->addWidget(m_lblUnverschluesselt);
    return choice;
}

void frmDatenbank::showEncryption(const QString& sslMode, const QString& rootCertificate)
{
    m_txtZertifikat->setText(rootCertificate);
    // A stored connection keeps what it names: without sslmode (libpq's "prefer") none of the three is chosen.
    m_encryption->setExclusive(false);
    for (QAbstractButton* choice : m_encryption->buttons())
        choice->setChecked(false);
    m_encryption->setExclusive(true);
    if (sslMode == QLatin1String("verify-full"))
        m_optPruefen->setChecked(true);
    else if (sslMode == QLatin1String("require"))
        m_optVerschluesselt->setChecked(true);
    else if (sslMode == QLatin1String("disable"))
        m_optUnverschluesselt->setChecked(true);
    // Another mode the URI names (prefer, verify-ca, ...) stays as it is, unless the user chooses.
}

QList<QPair<QString, QString>> frmDatenbank::typedOptions() const
{
    // Options keep their place in the URI, so that an unchanged choice writes the same setting.
    QList<QPair<QString, QString>> options = m_keptOptions;
    const auto set = [&](const QString& key, const QString& value) {
        const auto found =
            std::find_if(options.begin(), options.end(), [&](const auto& option) { return option.first == key; });
        if (value.isEmpty())
            options.removeIf([&](const auto& option) { return option.first == key; });
        else if (found != options.end())
            found->second = value;
        else
            options.append({key, value});
    };
    const QString file = m_txtZertifikat->text().trimmed();
    if (m_optPruefen->isChecked())
        set(SslMode, QStringLiteral("verify-full"));
    else if (m_optVerschluesselt->isChecked())
        set(SslMode, QStringLiteral("require"));
    else if (m_optUnverschluesselt->isChecked())
        set(SslMode, QStringLiteral("disable"));
    // Without a check the certificate means nothing; with another mode the URI named, it stays.
    const bool unchecked = m_optVerschluesselt->isChecked() || m_optUnverschluesselt->isChecked();
    set(RootCertificate, unchecked ? QString() : file);
    return options;
}

void frmDatenbank::cmdZertifikat_Click()
{
    QFileDialog chooser(this, QStringLiteral("Zertifikat der Praxis wählen"));
    chooser.setObjectName(QStringLiteral("dlgZertifikat"));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilters({QStringLiteral("Zertifikate (*.crt *.pem *.cer)"), QStringLiteral("Alle Dateien (*)")});
    if (!m_txtZertifikat->text().trimmed().isEmpty())
        chooser.selectFile(m_txtZertifikat->text().trimmed());
    if (m_modals.run(chooser) != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    m_txtZertifikat->setText(QDir::toNativeSeparators(chooser.selectedFiles().first()));
}

frmDatenbank::frmDatenbank(SettingsStore& settings, MessageService& messages, ModalRunner& modals,
                           std::optional<QString> runningConnect, const QString& practiceFile, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_messages(messages), m_modals(modals),
      m_runningConnect(std::move(runningConnect)), m_practiceFile(practiceFile)
{
    setObjectName(QStringLiteral("frmDatenbank"));
    setWindowTitle(Title);

    m_optDatei = new QRadioButton(QStringLiteral("Datei Kavemo.mdb im Programmordner"));
    m_optDatei->setObjectName(QStringLiteral("optDatei"));
    m_optServer = new QRadioButton(QStringLiteral("PostgreSQL-Server"));
    m_optServer->setObjectName(QStringLiteral("optServer"));

    auto* serverBox = new QGroupBox;
    serverBox->setObjectName(QStringLiteral("fraServer"));
    auto* form = new QFormLayout(serverBox);
    m_txtServer = addField(form, "txtServer", QStringLiteral("Server:"));
    m_txtPort = addField(form, "txtPort", QStringLiteral("Port:"));
    m_txtPort->setValidator(new QIntValidator(0, 65535, m_txtPort));
    m_txtDatenbank = addField(form, "txtDatenbank", QStringLiteral("Datenbank:"));
    m_txtBenutzer = addField(form, "txtBenutzer", QStringLiteral("Benutzer:"));
    m_txtPasswort = addField(form, "txtPasswort", QStringLiteral("Passwort:"));
    m_txtPasswort->setEchoMode(QLineEdit::Password);
    auto* hint = new QLabel(QStringLiteral("Leer lassen, wenn das Passwort schon hinterlegt ist\n"
                                           "oder der Server keins verlangt."));
    hint->setObjectName(QStringLiteral("lblPasswort"));
    form->addRow(QString(), hint);
    form->addRow(QStringLiteral("Verschlüsselung:"), encryptionChoice());
    m_cmdTest = makeButton("cmdTest", QStringLiteral("Verbindung testen"));
    m_cmdUebertragen = makeButton("cmdUebertragen", QStringLiteral("Daten übertragen..."));
    auto* serverButtons = new QHBoxLayout;
    serverButtons->addWidget(m_cmdTest);
    serverButtons->addWidget(m_cmdUebertragen);
    form->addRow(QString(), serverButtons);

    m_cmdOK = makeButton("cmdOK", QStringLiteral("&OK"));
    m_cmdAbbrechen = makeButton("cmdAbbrechen", QStringLiteral("&Abbrechen"));
    // Enter and Esc both cancel; OK has to be clicked.
    m_cmdAbbrechen->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdOK);
    buttons->addStretch();
    buttons->addWidget(m_cmdAbbrechen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_optDatei);
    layout->addWidget(m_optServer);
    layout->addWidget(serverBox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_optServer, &QRadioButton::toggled, this, &frmDatenbank::optionChanged);
    connect(m_encryption, &QButtonGroup::idToggled, this, &frmDatenbank::optionChanged);
    connect(m_cmdZertifikat, &QPushButton::clicked, this, &frmDatenbank::cmdZertifikat_Click);
    connect(m_cmdTest, &QPushButton::clicked, this, &frmDatenbank::cmdTest_Click);
    connect(m_cmdUebertragen, &QPushButton::clicked, this, &frmDatenbank::cmdUebertragen_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmDatenbank::cmdOK_Click);
    connect(m_cmdAbbrechen, &QPushButton::clicked, this, &QDialog::reject);

    Form_Load();
}

void frmDatenbank::Form_Load()
{
    m_txtPort->setText(QString::number(ServerAddress::DefaultPort));
    const QString stored = ConnectionSetting::read(m_settings);
    // A new connection is encrypted and checks the server's certificate.
    m_optPruefen->setChecked(true);
    if (stored.isEmpty()) {
        m_optDatei->setChecked(true);
    } else {
        m_optServer->setChecked(true);
        try {
            const ServerAddress address = ConnectionSetting::parse(stored);
            m_txtServer->setText(address.host);
            m_txtPort->setText(QString::number(address.port));
            m_txtDatenbank->setText(address.database);
            m_txtBenutzer->setText(address.user);
            m_keptOptions = address.options;
            showEncryption(address.option(SslMode), address.option(RootCertificate));
        } catch (const LunarisError&) {
            // A setting that is no server address: the fields start empty, for the user to fill in.
        }
    }
    optionChanged();
}

void frmDatenbank::optionChanged()
{
    const bool server = m_optServer->isChecked();
    for (QWidget* field :
         {static_cast<QWidget*>(m_txtServer), static_cast<QWidget*>(m_txtPort), static_cast<QWidget*>(m_txtDatenbank),
          static_cast<QWidget*>(m_txtBenutzer), static_cast<QWidget*>(m_txtPasswort), static_cast<QWidget*>(m_cmdTest)})
        field->setEnabled(server);
    for (QAbstractButton* choice : m_encryption->buttons())
        choice->setEnabled(server);
    m_txtZertifikat->setEnabled(server && m_optPruefen->isChecked());
    m_cmdZertifikat->setEnabled(server && m_optPruefen->isChecked());
    m_lblUnverschluesselt->setVisible(m_optUnverschluesselt->isChecked());
}

std::optional<ServerAddress> frmDatenbank::typedServer(QString& problem) const
{
    ServerAddress address;
    address.host = m_txtServer->text().trimmed();
    address.database = m_txtDatenbank->text().trimmed();
    address.user = m_txtBenutzer->text().trimmed();
    address.options = typedOptions();
    bool isNumber = false;
    address.port = m_txtPort->text().trimmed().toInt(&isNumber);
    if (address.host.isEmpty())
        problem = QStringLiteral("Bitte geben Sie den Server an.");
    else if (const QString hostProblem = ServerAddress::hostProblem(address.host); !hostProblem.isEmpty())
        problem = hostProblem;
    else if (!isNumber || address.port < 1 || address.port > 65535)
        problem = QStringLiteral("Der Port muss eine Zahl von 1 bis 65535 sein.");
    else if (address.database.isEmpty())
        problem = QStringLiteral("Bitte geben Sie den Namen der Datenbank an.");
    else if (address.user.isEmpty())
        problem = QStringLiteral("Bitte geben Sie den Benutzer an.");
    else if (m_txtZertifikat->text().contains(QLatin1Char(';')))
        // libpq's connection text separates its options with it.
        problem = QStringLiteral("Der Pfad der Zertifikatsdatei darf kein Semikolon („;“) enthalten.");
    if (!problem.isEmpty())
        return std::nullopt;
    return address;
}

void frmDatenbank::warn(const QString& text)
{
    m_messages.inform(this, text, Title, QMessageBox::Warning);
}

void frmDatenbank::cmdTest_Click()
{
    QString problem;
    const std::optional<ServerAddress> address = typedServer(problem);
    if (!address) {
        warn(problem);
        return;
    }
    // A login waits inside the database library, where it cannot be stopped: on "Abbrechen" it is left
    // to end by itself, its answer unused.
    const auto result = std::make_shared<ServerConnection::ProbeResult>();
    const bool stopped =
        runLeavingOnStop(m_modals, this, Title,
                         QStringLiteral("Die Verbindung zum Server „%1“ wird geprüft...").arg(address->displayName()),
                         [result, server = *address, password = m_txtPasswort->text()](BackgroundJob&) {
                             *result = ServerConnection::probe(server, password);
                         });
    if (stopped)
        return;
    m_messages.inform(this, result->message, Title, result->ok ? QMessageBox::Information : QMessageBox::Warning);
}

void frmDatenbank::cmdOK_Click()
{
    QString value;
    if (m_optServer->isChecked()) {
        QString problem;
        const std::optional<ServerAddress> address = typedServer(problem);
        if (!address) {
            warn(problem);
            return;
        }
        value = address->uri();
        try {
            if (!m_txtPasswort->text().isEmpty())
                PasswordFile().store(address->host, address->port, address->database, address->user,
                                     m_txtPasswort->text());
        } catch (const LunarisError& e) {
            m_messages.inform(this, QStringLiteral("Fehler: %1 %2").arg(e.number()).arg(e.description()), Title,
                              QMessageBox::Critical);
            return;
        }
    }
    try {
        ConnectionSetting::write(m_settings, value);
    } catch (const LunarisError& e) {
        m_messages.inform(this, QStringLiteral("Fehler: %1 %2").arg(e.number()).arg(e.description()), Title,
                          QMessageBox::Critical);
        return;
    }
    if (m_runningConnect && value != *m_runningConnect)
        m_messages.inform(this,
                          QStringLiteral("Das Programm muss neu gestartet werden\r"
                                         "damit die Änderungen wirksam werden."),
                          QStringLiteral("Bitte neu starten"), QMessageBox::Warning);
    accept();
}

void frmDatenbank::cmdUebertragen_Click()
{
    QString problem;
    const std::optional<ServerAddress> address = typedServer(problem);
    if (!address) {
        warn(problem);
        return;
    }
    QList<PracticeTransfer::TableCount> counts;
    std::optional<LunarisError> failure;
    // The practice's values (hours, colours, name) kept beside the file go along: on the server they are the
    // practice's, the same at every workstation.
    QList<PracticeValue> practiceValues;
    for (const SettingValue& v : m_settings.storedPracticeValues())
        practiceValues.append({v.section, v.key, v.value});
    const PracticeTransfer transfer(m_practiceFile, *address, m_txtPasswort->text(), practiceValues);
    runInBackground(m_modals, this, Title,
                    QStringLiteral("Die Daten werden auf den Server „%1“ übertragen...").arg(address->displayName()),
                    [&](BackgroundJob& job) {
                        try {
                            counts = transfer.run([&job](qint64 done, qint64 total) {
                                job.total = total;
                                job.done = done;
                                return !job.stopRequested;
                            });
                        } catch (const LunarisError& e) {
                            failure = e;
                        }
                    });
    if (failure) {
        if (failure->number() == PracticeTransfer::CancelledNumber)
            m_messages.inform(this, failure->description(), Title, QMessageBox::Information);
        else
            warn(QStringLiteral("Die Daten wurden nicht übertragen.\r%1").arg(failure->description()));
        return;
    }
    QStringList lines;
    for (const PracticeTransfer::TableCount& count : counts)
        lines.append(QStringLiteral("%1: %2 Zeilen").arg(count.table).arg(count.rows));
    m_messages.inform(
        this,
        QStringLiteral("Die Daten aus „%1“ wurden in die Datenbank „%2“ auf dem Server „%3“ "
                       "übertragen.\r%4")
            .arg(m_practiceFile, address->database, address->displayName(), lines.join(QLatin1Char('\r'))),
        Title, QMessageBox::Information);
}

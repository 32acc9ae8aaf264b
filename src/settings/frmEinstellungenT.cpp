#include "settings/frmEinstellungenT.h"

#include "dayview/ClockTime.h"
#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"
#include "settings/PracticeSettings.h"
#include "settings/PrintSettings.h"
#include "settings/SettingsStore.h"
#include "ui/MessageService.h"
#include "ui/ModalRunner.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabBar>

#include <algorithm>
#include <optional>

namespace {
// Positions and sizes are designed in twips; 15 twips are one pixel at 96 dots per inch.
int px(int twips)
{
    return qRound(twips / 15.0);
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

const QString Praxis = QStringLiteral("Praxis");
const QString Programm = QStringLiteral("Programm");
const QString Printer = QStringLiteral("Printer");

// A label left of its control, as high as the control so that the text stands level with it.
QLabel* addLabel(QWidget* frame, const QString& name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, frame);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QPushButton* addButton(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

// The working-day boxes: day number, caption and position in twips.
struct DayBox {
    int day;
    const char* caption;
    int left;
    int top;
};
constexpr DayBox DayBoxes[] = {
    {1, "So", 3120, 3000}, {2, "Mo", 1680, 2640}, {3, "Di", 2400, 2640}, {4, "Mi", 3120, 2640},
    {5, "Do", 3840, 2640}, {6, "Fr", 1680, 3000}, {7, "Sa", 2400, 3000},
};
} // namespace

namespace {
// A printer value the print-out can use: a number, and for the font size one above 0.
bool usablePrintNumber(const QString& key, const QString& value)
{
    const auto number = printNumber(value);
    return number && (key != QLatin1String("Fontsize") || *number > 0);
}
} // namespace

frmEinstellungenT::frmEinstellungenT(AppServices& services, QWidget* parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmEinstellungenT"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setFixedSize(px(6120), px(6315));

    // The tab strip: the row of tabs on top of a panel that the two frames lie on.
    const QRect strip = twipsRect(240, 120, 5655, 5055);
    m_tabStrip = new QTabBar(this);
    m_tabStrip->setObjectName(QStringLiteral("TabStrip1"));
    m_tabStrip->addTab(QStringLiteral("Praxis"));
    m_tabStrip->addTab(QStringLiteral("Programm"));
    m_tabStrip->setDrawBase(false);
    const int tabHeight = m_tabStrip->sizeHint().height();
    m_tabStrip->setGeometry(strip.left(), strip.top(), strip.width(), tabHeight);
    auto* page = new QFrame(this);
    page->setObjectName(QStringLiteral("TabStrip1Page"));
    page->setFrameShape(QFrame::StyledPanel);
    page->setGeometry(strip.left(), strip.top() + tabHeight - 1, strip.width(), strip.height() - tabHeight + 1);
    m_tabStrip->raise();

    for (int i = 0; i < 2; ++i) {
        m_frames[i] = new QFrame(this);
        m_frames[i]->setObjectName(QStringLiteral("Frame1%1").arg(i));
        m_frames[i]->setGeometry(twipsRect(480, 600, 5175, 4335));
    }
    buildPraxisPage();
    buildProgrammPage();

    m_cmdOK = addButton(this, QStringLiteral("cmdOK"), QStringLiteral("&OK"), twipsRect(360, 5520, 1335, 375));
    m_cmdAbbrechen =
        addButton(this, QStringLiteral("cmdAbbrechen"), QStringLiteral("&Abbrechen"), twipsRect(4440, 5520, 1335, 375));
    // Enter and Esc cancel wherever the focus is. A button that takes the focus must not become the
    // default: a click on the other tab hides the focused field and Qt moves the focus on, to OK.
    for (QPushButton* other : {m_cmdOK, m_cmdPfad, m_cmdSchrift})
        other->setAutoDefault(false);
    m_cmdAbbrechen->setDefault(true);

    connect(m_tabStrip, &QTabBar::currentChanged, this, &frmEinstellungenT::TabStrip1_Click);
    connect(m_cmdPfad, &QPushButton::clicked, this, &frmEinstellungenT::cmdPfad_Click);
    connect(m_cmdSchrift, &QPushButton::clicked, this, &frmEinstellungenT::cmdSchrift_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmEinstellungenT::cmdOK_Click);
    connect(m_cmdAbbrechen, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder();
    nameForScreenReaders();
    Form_Load();
}

void frmEinstellungenT::nameForScreenReaders()
{
    // A label names the field right of it (and Alt with its letter would reach it).
    static const std::pair<const char*, const char*> Buddies[] = {
        {"lblArzt", "txtName"},
        {"lblAdresse", "txtAdresse"},
        {"lblOrt", "txtOrt"},
        {"lblOpenZeit", "txtOpenZeit"},
        {"lblZuZeit", "txtZuZeit"},
        {"lblSlot", "txtSlot"},
        {"lblBackup", "txtBackup"},
        {"lblHor", "txtHor"},
        {"lblVert", "txtVert"},
        {"lblSchrift", "txtSchrift"},
        {"lblArbeitstage", "fraArbeitstage"},
    };
    for (const auto& [label, field] : Buddies)
        findChild<QLabel*>(QLatin1String(label))->setBuddy(findChild<QWidget*>(QLatin1String(field)));
    // Fields and buttons without a label of their own say what they hold or do.
    findChild<QLineEdit*>(QStringLiteral("txtName2"))->setAccessibleName(QStringLiteral("Facharztbezeichnung"));
    m_txtFontsize->setAccessibleName(QStringLiteral("Schriftgröße"));
    m_cmdPfad->setAccessibleName(QStringLiteral("Sicherungsordner wählen"));
    m_cmdSchrift->setAccessibleName(QStringLiteral("Schrift ändern"));
}

QLineEdit* frmEinstellungenT::addField(QFrame* frame, const QString& name, const QRect& twips, const QString& section,
                                       const QString& key, const QString& defaultValue)
{
    auto* box = new QLineEdit(frame);
    box->setObjectName(name);
    box->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    m_fields.append({box, section, key, defaultValue});
    return box;
}

void frmEinstellungenT::buildPraxisPage()
{
    QFrame* frame = m_frames[0];
    addLabel(frame, QStringLiteral("lblArzt"), QStringLiteral("Arzt:"), twipsRect(240, 360, 1380, 285));
    addField(frame, QStringLiteral("txtName"), {1680, 360, 3255, 285}, Praxis, QStringLiteral("Name"),
             QStringLiteral("Name"));
    addField(frame, QStringLiteral("txtName2"), {1680, 720, 3255, 285}, Praxis, QStringLiteral("Name2"),
             QStringLiteral("Facharztbezeichnung"));
    addLabel(frame, QStringLiteral("lblAdresse"), QStringLiteral("Adresse:"), twipsRect(240, 1080, 1380, 285));
    addField(frame, QStringLiteral("txtAdresse"), {1680, 1080, 3255, 285}, Praxis, QStringLiteral("Adresse"),
             QStringLiteral("Adresse"));
    addLabel(frame, QStringLiteral("lblOrt"), QStringLiteral("Ort:"), twipsRect(240, 1440, 1380, 285));
    addField(frame, QStringLiteral("txtOrt"), {1680, 1440, 3255, 285}, Praxis, QStringLiteral("Ort"),
             QStringLiteral("PLZ Ort"));
    addLabel(frame, QStringLiteral("lblOpenZeit"), QStringLiteral("Öffnungszeit:"), twipsRect(240, 2040, 1380, 360));
    addField(frame, QStringLiteral("txtOpenZeit"), {1680, 2040, 855, 360}, Praxis, QStringLiteral("OpenZeit"),
             QStringLiteral("08:00"));
    addLabel(frame, QStringLiteral("lblZuZeit"), QStringLiteral("Schlußzeit:"), twipsRect(2880, 2040, 1140, 360));
    addField(frame, QStringLiteral("txtZuZeit"), {4080, 2040, 855, 360}, Praxis, QStringLiteral("ZuZeit"),
             QStringLiteral("18:00"));

    addLabel(frame, QStringLiteral("lblArbeitstage"), QStringLiteral("Arbeitstage:"), twipsRect(240, 2640, 1380, 255));
    // The day boxes lie in a group without a frame, which a screen reader names when the focus enters
    // it. It spans the page, below the other controls, so the boxes keep their places on the page.
    auto* group = new QGroupBox(frame);
    group->setObjectName(QStringLiteral("fraArbeitstage"));
    group->setAccessibleName(QStringLiteral("Arbeitstage"));
    group->setFlat(true);
    group->setStyleSheet(QStringLiteral("QGroupBox { border: 0; margin: 0; padding: 0; }"));
    group->setGeometry(frame->rect());
    group->lower();
    for (const DayBox& day : DayBoxes) {
        auto* box = new QCheckBox(QString::fromUtf8(day.caption), group);
        box->setObjectName(QStringLiteral("CheckDay%1").arg(day.day));
        // Wide enough for box and caption in any font, but never into the next box (720 twips on).
        const int width = std::min(std::max(px(615), box->sizeHint().width()), px(700));
        box->setGeometry(px(day.left), px(day.top), width, px(255));
        m_checkDay[day.day] = box;
    }

    QLabel* lblSlot =
        addLabel(frame, QStringLiteral("lblSlot"), QStringLiteral("Slot:"), twipsRect(3840, 3480, 660, 360));
    lblSlot->setToolTip(QStringLiteral("Zeitinterval für Terminübersicht"));
    QLineEdit* txtSlot = addField(frame, QStringLiteral("txtSlot"), {4560, 3480, 375, 360}, Praxis,
                                  QStringLiteral("Slot"), QStringLiteral("1"));
    txtSlot->setToolTip(QStringLiteral("1=10 min, 2=15 min"));

    m_lblVorgabe[0] = addLabel(frame, QStringLiteral("lblVorgabe0"), QString(), twipsRect(240, 3960, 4935, 330));
}

void frmEinstellungenT::buildProgrammPage()
{
    QFrame* frame = m_frames[1];
    // As designed, the label reaches under the box; its text wraps before the box begins.
    QLabel* lblBackup = addLabel(frame, QStringLiteral("lblBackup"), QStringLiteral("Daten- Sicherungspfad:"),
                                 twipsRect(240, 840, 1815, 615));
    lblBackup->setWordWrap(true);
    // One pixel narrower than 2775 twips, so that the button "..." does not cover the box's right edge.
    m_txtBackup = addField(frame, QStringLiteral("txtBackup"), {1800, 960, 2760, 360}, Programm,
                           QStringLiteral("Backup"), QStringLiteral("c:\\"));
    m_cmdPfad = addButton(frame, QStringLiteral("cmdPfad"), QStringLiteral("..."), twipsRect(4560, 960, 375, 375));

    addLabel(frame, QStringLiteral("lblHor"), QStringLiteral("Position Horizontal:"), twipsRect(240, 2280, 1860, 360));
    addField(frame, QStringLiteral("txtHor"), {2160, 2280, 615, 360}, Printer, QStringLiteral("Hor"),
             QStringLiteral("0"));
    addLabel(frame, QStringLiteral("lblVert"), QStringLiteral("Position Vertikal:"), twipsRect(240, 2760, 1860, 360));
    addField(frame, QStringLiteral("txtVert"), {2160, 2760, 615, 360}, Printer, QStringLiteral("Vert"),
             QStringLiteral("0"));
    addLabel(frame, QStringLiteral("lblSchrift"), QStringLiteral("Schriftart:"), twipsRect(240, 3240, 1860, 360));
    m_txtSchrift = addField(frame, QStringLiteral("txtSchrift"), {2160, 3240, 2775, 360}, Printer,
                            QStringLiteral("Schriftart"), QStringLiteral("Arial"));
    m_cmdSchrift =
        addButton(frame, QStringLiteral("cmdSchrift"), QStringLiteral("Ändern"), twipsRect(2160, 3720, 975, 375));
    // The print-out's own default size: OK without a change must not shrink it.
    m_txtFontsize = addField(frame, QStringLiteral("txtFontsize"), {4560, 3720, 375, 360}, Printer,
                             QStringLiteral("Fontsize"), PrintSettings().fontSize);
    // At most two characters can be typed; a longer size from the font chooser or the store is kept
    // (a validator limits typing only, where a maximum length would also cut values set by the program).
    m_txtFontsize->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral(".{0,2}")), m_txtFontsize));

    // Between the backup folder and the printer fields it speaks of.
    m_lblVorgabe[1] = addLabel(frame, QStringLiteral("lblVorgabe1"), QString(), twipsRect(240, 1560, 4935, 600));
    m_lblVorgabe[1]->setWordWrap(true);
}

void frmEinstellungenT::setTabOrder()
{
    QList<QWidget*> order;
    for (const SettingField& field : std::as_const(m_fields)) {
        order.append(field.box);
        if (field.key == QLatin1String("ZuZeit")) {
            for (int day : {2, 3, 4, 5, 6, 7, 1})
                order.append(m_checkDay[day]);
        } else if (field.key == QLatin1String("Backup")) {
            order.append(m_cmdPfad);
        }
    }
    order << m_cmdSchrift << m_cmdOK << m_cmdAbbrechen << m_tabStrip;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    order.first()->setFocus();
}

void frmEinstellungenT::Form_Load()
{
    // Each value is read on its own: one that cannot be read leaves its box empty (or unticked). A
    // field without a value of the program's own shows the value in effect, so that OK writes back
    // what is used and changes nothing the user did not change.
    const SettingsStore& store = m_services.settings;
    std::optional<PracticeSettings> practice;
    runStep([&] { practice = PracticeSettings::read(store); });
    for (const SettingField& field : std::as_const(m_fields)) {
        runStep([&] {
            if (store.storedSetting(SettingsStore::ProgramApp, field.section, field.key)) {
                field.box->setText(
                    store.getSetting(SettingsStore::ProgramApp, field.section, field.key, field.defaultValue));
                return;
            }
            if (practice && field.key == QLatin1String("OpenZeit"))
                field.box->setText(practice->openTime);
            else if (practice && field.key == QLatin1String("ZuZeit"))
                field.box->setText(practice->closeTime);
            else if (practice && field.key == QLatin1String("Slot"))
                field.box->setText(QString::number(practice->slotSetting));
            else if (const QString shared = store.getSharedSetting(field.section, field.key, field.defaultValue);
                     field.section == Printer && field.key != QLatin1String("Schriftart") &&
                     !usablePrintNumber(field.key, shared))
                field.box->setText(field.defaultValue); // the print-out uses its default for what it cannot use
            else
                field.box->setText(shared);
        });
    }
    for (int day = 1; day <= 7; ++day) {
        runStep([&] {
            const QString value = m_services.settings.getSetting(
                SettingsStore::ProgramApp, Praxis, QStringLiteral("Arbeitstag%1").arg(day), QStringLiteral("1"));
            // "1" ticks the box, "0" leaves it free; any other value cannot be shown and leaves it free.
            bool isNumber = false;
            const short flag = value.trimmed().toShort(&isNumber);
            m_checkDay[day]->setChecked(isNumber && flag == 1);
        });
    }
    showFamilyValues();
    m_tabStrip->setCurrentIndex(0);
    TabStrip1_Click(0);
}

void frmEinstellungenT::showFamilyValues()
{
    const SettingsStore& store = m_services.settings;
    // Only what is in effect: where the practice keeps its values on the server, those come first.
    auto family = [&](const QString& section, const char* key) -> std::optional<QString> {
        if (!store.familyValueWins(section, QLatin1String(key)))
            return std::nullopt;
        return store.storedSetting(SettingsStore::FamilyApp, section, QLatin1String(key));
    };
    QStringList praxis;
    runStep([&] {
        const auto open = family(Praxis, "OpenZeit");
        const auto close = family(Praxis, "ZuZeit");
        const auto slot = family(Praxis, "Slot");
        if (open && close)
            praxis << *open + QStringLiteral("–") + *close;
        else if (open)
            praxis << QStringLiteral("Öffnungszeit ") + *open;
        else if (close)
            praxis << QStringLiteral("Schlußzeit ") + *close;
        if (slot)
            praxis << QStringLiteral("Slot ") + *slot;
    });
    QStringList printer;
    runStep([&] {
        const auto font = family(Printer, "Schriftart");
        const auto size = family(Printer, "Fontsize");
        const auto hor = family(Printer, "Hor");
        const auto vert = family(Printer, "Vert");
        if (font && size)
            printer << *font + QStringLiteral(" ") + *size;
        else if (font)
            printer << QStringLiteral("Schriftart ") + *font;
        else if (size)
            printer << QStringLiteral("Schriftgröße ") + *size;
        if (hor && vert)
            printer << QStringLiteral("Position ") + *hor + QLatin1Char('/') + *vert;
        else if (hor)
            printer << QStringLiteral("Position horizontal ") + *hor;
        else if (vert)
            printer << QStringLiteral("Position vertikal ") + *vert;
    });
    const QStringList* lines[2] = {&praxis, &printer};
    for (int page = 0; page < 2; ++page) {
        QLabel* label = m_lblVorgabe[page];
        // The values come from another program: shown as they are, never as markup.
        label->setTextFormat(Qt::PlainText);
        label->setText(lines[page]->isEmpty()
                           ? QString()
                           : QStringLiteral("Vom Terminplaner vorgegeben: ") + lines[page]->join(QStringLiteral(", ")));
        label->setVisible(!lines[page]->isEmpty());
    }
}

void frmEinstellungenT::TabStrip1_Click(int index)
{
    m_frames[0]->hide();
    m_frames[1]->hide();
    if (index >= 0 && index < 2)
        m_frames[index]->show();
}

void frmEinstellungenT::cmdPfad_Click()
{
    QFileDialog chooser(this);
    chooser.setObjectName(QStringLiteral("dlgPfad"));
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    if (QDir(m_txtBackup->text()).exists())
        chooser.setDirectory(m_txtBackup->text());
    if (m_services.modals.run(chooser) != QDialog::Accepted)
        return;
    const QString folder = chooser.selectedFiles().value(0);
    if (!folder.isEmpty())
        m_txtBackup->setText(QDir::toNativeSeparators(folder));
}

void frmEinstellungenT::cmdSchrift_Click()
{
    QFontDialog chooser(this);
    chooser.setObjectName(QStringLiteral("dlgSchrift"));
    if (m_services.modals.run(chooser) != QDialog::Accepted)
        return;
    const QFont font = chooser.selectedFont();
    m_txtSchrift->setText(font.family());
    if (font.pointSizeF() > 0)
        m_txtFontsize->setText(QString::number(font.pointSizeF()));
}

std::pair<QLineEdit*, QString> frmEinstellungenT::refusal() const
{
    auto field = [this](const char* key) -> QLineEdit* {
        for (const SettingField& f : m_fields)
            if (f.key == QLatin1String(key))
                return f.box;
        return nullptr;
    };
    auto refuse = [](QLineEdit* box, const QString& text) { return std::make_pair(box, text); };
    const QString open = field("OpenZeit")->text().trimmed();
    const QString close = field("ZuZeit")->text().trimmed();
    if (!ClockTime::isValid(open))
        return refuse(field("OpenZeit"), QStringLiteral("Öffnungszeit: Bitte eine Uhrzeit wie 08:00 eingeben."));
    if (!ClockTime::isValid(close))
        return refuse(field("ZuZeit"), QStringLiteral("Schlußzeit: Bitte eine Uhrzeit wie 18:00 eingeben."));
    if (*ClockTime::minutesOf(close) <= *ClockTime::minutesOf(open))
        return refuse(field("ZuZeit"), QStringLiteral("Schlußzeit: Sie muss nach der Öffnungszeit liegen."));
    const QString slot = field("Slot")->text().trimmed();
    if (slot != QLatin1String("1") && slot != QLatin1String("2"))
        return refuse(field("Slot"), QStringLiteral("Slot: Bitte 1 (10 Minuten) oder 2 (15 Minuten) eingeben."));
    if (!printNumber(field("Hor")->text()))
        return refuse(field("Hor"), QStringLiteral("Position Horizontal: Bitte eine Zahl (Millimeter) eingeben."));
    if (!printNumber(field("Vert")->text()))
        return refuse(field("Vert"), QStringLiteral("Position Vertikal: Bitte eine Zahl (Millimeter) eingeben."));
    if (!usablePrintNumber(QStringLiteral("Fontsize"), field("Fontsize")->text()))
        return refuse(field("Fontsize"), QStringLiteral("Schriftgröße: Bitte eine Zahl größer als 0 eingeben."));
    return {nullptr, QString()};
}

void frmEinstellungenT::cmdOK_Click()
{
    if (m_fields.first().box->text().isEmpty())
        return;
    // Values are used at once: one that the program cannot use is refused, naming its field.
    if (const auto [box, refused] = refusal(); box) {
        m_services.messages.inform(this, refused, QStringLiteral("Einstellungen"), QMessageBox::Warning);
        m_tabStrip->setCurrentIndex(m_frames[0]->isAncestorOf(box) ? 0 : 1);
        box->setFocus();
        box->selectAll();
        return;
    }
    try {
        writeSettings();
    } catch (const LunarisError& e) {
        // The values before the failed one stay written; the dialog stays open.
        m_services.messages.inform(this, QStringLiteral("Fehler: %1 %2").arg(e.number()).arg(e.description()),
                                   QStringLiteral("Lunaris"), QMessageBox::NoIcon);
        return;
    }
    accept();
}

void frmEinstellungenT::writeSettings()
{
    // The practice fields, the working days, then slot, backup folder and printer values; given together, so
    // that a store shared by the practice's workstations takes its part at once.
    QList<SettingValue> values;
    const auto add = [&](const QString& section, const QString& key, const QString& value) {
        values.append({SettingsStore::ProgramApp, section, key, value});
    };
    constexpr int PracticeFields = 6;
    for (int i = 0; i < PracticeFields; ++i)
        add(m_fields[i].section, m_fields[i].key, m_fields[i].box->text());
    for (int day = 1; day <= 7; ++day)
        add(Praxis, QStringLiteral("Arbeitstag%1").arg(day),
            m_checkDay[day]->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    for (qsizetype i = PracticeFields; i < m_fields.size(); ++i)
        add(m_fields[i].section, m_fields[i].key, m_fields[i].box->text());
    m_services.settings.saveSettings(values);
}

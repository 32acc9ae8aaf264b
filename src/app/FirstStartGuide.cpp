#include "app/FirstStartGuide.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString Explanation = QStringLiteral(
    "Ein Idealtag braucht die Stühle Ihrer Praxis und die Behandlungen mit ihren Zeiten und Honoraren. Legen Sie "
    "beides an – oder laden Sie die Beispielpraxis, um Lunaris erst einmal auszuprobieren.");
} // namespace

FirstStartGuide::FirstStartGuide(QWidget* parent)
    : QFrame(parent), m_missing(new QLabel(this)), m_chairs(new QPushButton(QStringLiteral("Stühle anlegen..."), this)),
      m_treatments(new QPushButton(QStringLiteral("Behandlungen anlegen..."), this)),
      m_demo(new QPushButton(QStringLiteral("Beispielpraxis laden"), this))
{
    setObjectName(QStringLiteral("fraErsteSchritte"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true); // it covers the empty columns
    setAccessibleName(QStringLiteral("Erste Schritte"));
    setAccessibleDescription(Explanation);

    auto* heading = new QLabel(QStringLiteral("Willkommen bei Lunaris"), this);
    heading->setObjectName(QStringLiteral("lblWillkommen"));
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    heading->setFont(big);
    auto* text = new QLabel(Explanation, this);
    text->setObjectName(QStringLiteral("lblErsteSchritte"));
    text->setWordWrap(true);
    m_missing->setObjectName(QStringLiteral("lblFehlt"));
    m_chairs->setObjectName(QStringLiteral("cmdStuehleAnlegen"));
    m_treatments->setObjectName(QStringLiteral("cmdBehandlungenAnlegen"));
    m_demo->setObjectName(QStringLiteral("cmdBeispielpraxis"));
    // A screen reader says what each way does, not only its caption.
    m_chairs->setAccessibleDescription(QStringLiteral("Öffnet die Stuhlverwaltung"));
    m_treatments->setAccessibleDescription(QStringLiteral("Öffnet die Behandlungskürzel"));
    m_demo->setAccessibleDescription(
        QStringLiteral("Lädt vier Stühle, zwölf Behandlungen und zwei Idealtage in die leere Datenbank"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_chairs);
    buttons->addWidget(m_treatments);
    buttons->addSpacing(24);
    buttons->addWidget(m_demo);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(14);
    layout->addWidget(heading);
    layout->addWidget(text);
    layout->addWidget(m_missing);
    layout->addLayout(buttons);
    layout->addStretch();
    setTabOrder(m_chairs, m_treatments);
    setTabOrder(m_treatments, m_demo);

    connect(m_chairs, &QPushButton::clicked, this, &FirstStartGuide::chairsRequested);
    connect(m_treatments, &QPushButton::clicked, this, &FirstStartGuide::treatmentsRequested);
    connect(m_demo, &QPushButton::clicked, this, &FirstStartGuide::demoRequested);
}

void FirstStartGuide::setMissing(bool chairs, bool treatments)
{
    QString text;
    if (chairs && treatments)
        text = QStringLiteral("Es fehlen noch: Stühle und Behandlungen.");
    else if (chairs)
        text = QStringLiteral("Es fehlen noch: Stühle.");
    else if (treatments)
        text = QStringLiteral("Es fehlen noch: Behandlungen.");
    m_missing->setText(text);
}

QString FirstStartGuide::missingText() const
{
    return m_missing->text();
}

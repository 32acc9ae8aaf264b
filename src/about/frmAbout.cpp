#include "about/frmAbout.h"

#include "about/ThirdPartyComponents.h"
#include "about/VersionText.h"
#include "ui/ProgramIcon.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int IconSize = 48;

// An etched separator: a grey line with a white line just below it.
QFrame* etchedLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Dark, QColor(128, 128, 128));
    palette.setColor(QPalette::Light, Qt::white);
    line->setPalette(palette);
    return line;
}
} // namespace

frmAbout::frmAbout(QWidget* parent, const QString& programFolder) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Lunaris"));

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(programIcon().pixmap(IconSize, IconSize));
    picIcon->setFixedSize(IconSize, IconSize);

    auto* lblTitle = new QLabel(QStringLiteral("Lunaris"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    auto* lblVersion = new QLabel(programVersionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto* lblDescription = new QLabel(
        QStringLiteral("Lunaris ist ein Programm zum Entwurf von Tempates (Schablonen) für die Terminplanung von "
                       "KFO-Praxen. Es ist ein Teil des Kavemo-Pakets."),
        this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setMinimumWidth(300);

    auto* lblComponents = new QLabel(QStringLiteral("Enthaltene Komponenten anderer Hersteller:\n") +
                                         thirdPartyComponentsText(installedThirdPartyComponents(programFolder)),
                                     this);
    lblComponents->setObjectName(QStringLiteral("lblComponents"));
    lblComponents->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(picIcon, 0, 0, 4, 1, Qt::AlignTop);
    layout->addWidget(lblTitle, 0, 1);
    layout->addWidget(lblVersion, 1, 1);
    layout->addWidget(lblDescription, 2, 1);
    layout->addWidget(lblComponents, 3, 1);
    layout->setRowMinimumHeight(4, 8);
    layout->addWidget(etchedLine(this), 5, 0, 1, 2);
    layout->addWidget(cmdOK, 6, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

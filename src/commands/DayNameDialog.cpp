#include "commands/DayNameDialog.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "kernel/Steps.h"
#include "store/Tables.h"
#include "ui/MessageService.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace {
const QString BlanksOnlyText = QStringLiteral("Der Name besteht nur aus Leerzeichen. Bitte geben Sie einen Namen ein.");
// %1: the name; its quotes show where the blanks are.
const QString OuterBlanksText = QStringLiteral("Der Name „%1“ darf nicht mit einem Leerzeichen beginnen oder enden.");
} // namespace

DayNameDialog::DayNameDialog(LunarisState& state, AppServices& services, QWidget* mainWindow, const QString& caption,
                             const QString& nameLabel, const QString& nameBoxName)
    : QDialog(mainWindow), m_state(state), m_services(services), m_mainWindow(mainWindow),
      m_listLabel(new QLabel(QStringLiteral("Vorhanden:"), this)), m_list(new QListWidget(this)),
      m_nameLabel(new QLabel(nameLabel, this)), m_nameBox(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("&OK"), this)), m_cancel(new QPushButton(QStringLiteral("&Abbrechen"), this))
{
    setWindowTitle(caption);
    setModal(true);
    m_listLabel->setObjectName(QStringLiteral("Label1_0"));
    m_list->setObjectName(QStringLiteral("DBListIdealtag"));
    // A practice may store thousands of days: the list shows at once and measures the rest of the names
    // (for its scroll range) in batches while the dialog is open.
    m_list->setLayoutMode(QListView::Batched);
    m_nameLabel->setObjectName(QStringLiteral("Label1_1"));
    m_nameBox->setObjectName(nameBoxName);
    m_nameLabel->setBuddy(m_nameBox);
    // Screen readers name the list by its label (an item view takes no label relation from a buddy).
    m_list->setAccessibleName(m_listLabel->text());
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_cancel->setObjectName(QStringLiteral("cmdAbbrechen"));
    m_cancel->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_listLabel, 0, 0, 1, 3);
    grid->addWidget(m_list, 1, 0, 1, 3);
    grid->addWidget(m_nameLabel, 2, 0);
    grid->addWidget(m_nameBox, 2, 1);
    grid->addWidget(m_ok, 2, 2);
    grid->addWidget(m_cancel, 3, 2);
    grid->setColumnStretch(1, 1);
    resize(380, 300);

    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { m_nameBox->setText(item->text()); });
    // Choosing with the arrow keys selects as a click does. (Tabbing into the list only marks an
    // entry, without selecting it, and leaves a typed name alone.)
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> chosen = m_list->selectedItems();
        if (!chosen.isEmpty())
            m_nameBox->setText(chosen.first()->text());
    });
    // A double click is the click followed by OK.
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_nameBox->setText(item->text());
        cmdOK_Click();
    });
    connect(m_ok, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cmdAbbrechen_Click(); });
    Form_Load();
}

void DayNameDialog::Form_Load()
{
    // An unreadable table must not look like a practice without days: it is said, with the reason.
    // The name can still be typed.
    try {
        m_list->addItems(IdealtagTable(m_services.database).names());
    } catch (const LunarisError& e) {
        m_services.messages.inform(
            this, QStringLiteral("Die Liste der Idealtage konnte nicht gelesen werden.\r") + e.description(),
            windowTitle(), QMessageBox::Warning);
    }
}

void DayNameDialog::refreshList()
{
    // Another workstation stored or deleted a day: the list follows, keeping the chosen and the typed name.
    QStringList names;
    try {
        names = IdealtagTable(m_services.database).names();
    } catch (const LunarisError&) {
        return; // the list stays as it was; its next refresh tries again
    }
    QStringList shown;
    for (int i = 0; i < m_list->count(); ++i)
        shown.append(m_list->item(i)->text());
    // A change elsewhere that left the names alone (a chair, a treatment, another day's rows) leaves the list be.
    if (names == shown)
        return;
    const QString typed = m_nameBox->text();
    const QListWidgetItem* current = m_list->currentItem();
    const QString chosen = current ? current->text() : QString();
    // The user's place in a long list stays where it was, wherever the chosen name is.
    const int scrolled = m_list->verticalScrollBar()->value();
    const QSignalBlocker blockList(m_list);
    m_list->clear();
    m_list->addItems(names);
    if (!chosen.isEmpty())
        if (const QList<QListWidgetItem*> found = m_list->findItems(chosen, Qt::MatchExactly); !found.isEmpty())
            m_list->setCurrentItem(found.first());
    m_list->verticalScrollBar()->setValue(scrolled);
    m_nameBox->setText(typed);
}

bool DayNameDialog::acceptNewName(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed == name)
        return true;
    m_services.messages.inform(this, trimmed.isEmpty() ? BlanksOnlyText : OuterBlanksText.arg(name),
                               QStringLiteral("Lunaris"), QMessageBox::Warning);
    return false;
}

#include "commands/frmDatensicherung.h"

#include "kernel/LunarisError.h"
#include "store/BackupReader.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int IndexRole = Qt::UserRole;

QString sizeText(qint64 bytes)
{
    return QLocale(QLocale::German, QLocale::Germany).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QTreeWidget* makeList(QWidget* parent, const char* name, const QString& accessible, const QStringList& headers)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setAccessibleName(accessible);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    return list;
}
} // namespace

frmDatensicherung::frmDatensicherung(const QList<BackupFile>& backups, QWidget* parent)
    : QDialog(parent), m_list(backups),
      m_backups(makeList(this, "lstSicherungen", QStringLiteral("Datensicherungen"),
                         {QStringLiteral("Datum"), QStringLiteral("Größe"), QStringLiteral("Idealtage")})),
      m_days(makeList(this, "lstIdealtage", QStringLiteral("Idealtage der Datensicherung"),
                      {QStringLiteral("Idealtag"), QStringLiteral("Blöcke")})),
      m_rows(new DayRowsTable(QStringLiteral("tblIdealtag"), QStringLiteral("Gewählter Idealtag"), this)),
      m_restore(new QPushButton(QStringLiteral("&Wiederherstellen"), this))
{
    setObjectName(QStringLiteral("frmDatensicherung"));
    setWindowTitle(QStringLiteral("Aus Datensicherung holen"));
    setModal(true);
    m_days->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_rows->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_restore->setObjectName(QStringLiteral("cmdWiederherstellen"));
    m_restore->setEnabled(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_restore, QDialogButtonBox::AcceptRole);
    QPushButton* close = buttons->addButton(QStringLiteral("&Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdSchliessen"));

    auto* panes = new QHBoxLayout;
    panes->addWidget(m_backups, 3);
    panes->addWidget(m_days, 3);
    panes->addWidget(m_rows, 4);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Wählen Sie eine Datensicherung und darin die Idealtage, die zurückgeholt werden sollen."),
        this));
    layout->addLayout(panes);
    layout->addWidget(buttons);
    resize(960, 440);

    for (int i = 0; i < m_list.size(); ++i) {
        const BackupFile& backup = m_list[i];
        QString days;
        try {
            days = QString::number(BackupReader(backup.path).days().size());
        } catch (const LunarisError&) {
            days = QStringLiteral("nicht lesbar");
        }
        auto* item = new QTreeWidgetItem(m_backups, {timeText(backup.time), sizeText(backup.size), days});
        item->setData(0, IndexRole, i);
        item->setTextAlignment(1, Qt::AlignRight);
        item->setTextAlignment(2, Qt::AlignRight);
    }
    for (int column = 0; column < m_backups->columnCount(); ++column)
        m_backups->resizeColumnToContents(column);

    connect(m_backups, &QTreeWidget::currentItemChanged, this, [this] { showBackup(); });
    connect(m_days, &QTreeWidget::currentItemChanged, this, [this] { showDay(); });
    connect(m_days, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_restore->setEnabled(!m_days->selectedItems().isEmpty()); });
    connect(m_restore, &QPushButton::clicked, this, [this] {
        const QTreeWidgetItem* backup = m_backups->currentItem();
        if (!backup)
            return;
        m_chosenBackup = m_list.value(backup->data(0, IndexRole).toInt());
        m_chosenDays.clear();
        // In the backup's order, whatever order they were selected in.
        for (int i = 0; i < m_days->topLevelItemCount(); ++i)
            if (m_days->topLevelItem(i)->isSelected())
                m_chosenDays.append(m_days->topLevelItem(i)->text(0));
        if (!m_chosenDays.isEmpty())
            accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

frmDatensicherung::~frmDatensicherung() = default;

QString frmDatensicherung::timeText(const QDateTime& time)
{
    return time.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

void frmDatensicherung::showBackup()
{
    m_days->clear();
    m_rows->setRowCount(0);
    m_reader.reset();
    const QTreeWidgetItem* item = m_backups->currentItem();
    if (!item)
        return;
    try {
        m_reader = std::make_unique<BackupReader>(m_list.value(item->data(0, IndexRole).toInt()).path);
        for (const BackupReader::Day& day : m_reader->days()) {
            auto* row = new QTreeWidgetItem(m_days, {day.name, QString::number(day.blocks)});
            row->setTextAlignment(1, Qt::AlignRight);
        }
    } catch (const LunarisError& e) {
        m_reader.reset();
        auto* row = new QTreeWidgetItem(m_days, {e.description()});
        row->setFlags(Qt::NoItemFlags);
    }
    m_days->resizeColumnToContents(0);
}

void frmDatensicherung::showDay()
{
    m_rows->setRowCount(0);
    const QTreeWidgetItem* item = m_days->currentItem();
    if (!item || !m_reader)
        return;
    QList<TemplateRow> rows;
    try {
        rows = m_reader->rowsOf(item->text(0));
    } catch (const LunarisError&) {
        return;
    }
    m_rows->showRows(rows);
}

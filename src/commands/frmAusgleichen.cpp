#include "commands/frmAusgleichen.h"

#include "dayview/ClockTime.h"
#include "editing/DoctorLoadChart.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMutexLocker>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace {
QString blocks(int n)
{
    return n == 1 ? QStringLiteral("1 Block") : QStringLiteral("%1 Blöcke").arg(n);
}

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}
} // namespace

frmAusgleichen::frmAusgleichen(Mode mode, BalanceSnapshot snapshot, const QStringList& treatments, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_snapshot(std::move(snapshot))
{
    const bool balance = mode == Mode::Balance;
    setObjectName(balance ? QStringLiteral("frmAusgleichen") : QStringLiteral("frmFuellen"));
    setWindowTitle(balance ? QStringLiteral("Arztzeit ausgleichen") : QStringLiteral("Tag füllen"));
    auto* layout = new QVBoxLayout(this);

    auto* options = new QGroupBox(balance ? QStringLiteral("Optionen") : QStringLiteral("Wie viele zusätzlich?"), this);
    options->setObjectName(QStringLiteral("fraOptionen"));
    auto* optionsLayout = new QVBoxLayout(options);
    if (balance) {
        m_chkStuhl = new QCheckBox(QStringLiteral("Blöcke dürfen den &Stuhl wechseln"), options);
        m_chkStuhl->setObjectName(QStringLiteral("chkStuhl"));
        auto* shiftRow = new QHBoxLayout;
        m_chkMinuten = new QCheckBox(QStringLiteral("Blöcke &höchstens um"), options);
        m_chkMinuten->setObjectName(QStringLiteral("chkMinuten"));
        m_spnMinuten = new QSpinBox(options);
        m_spnMinuten->setObjectName(QStringLiteral("spnMinuten"));
        m_spnMinuten->setRange(5, 600);
        m_spnMinuten->setSingleStep(5);
        m_spnMinuten->setValue(30);
        m_spnMinuten->setSuffix(QStringLiteral(" Minuten"));
        m_spnMinuten->setEnabled(false);
        m_spnMinuten->setAccessibleName(QStringLiteral("Höchstens um Minuten verschieben"));
        connect(m_chkMinuten, &QCheckBox::toggled, m_spnMinuten, &QWidget::setEnabled);
        // The option's sentence goes on behind the box: a screen reader hears the box's name alone.
        const auto nameShiftLimit = [this](int minutes) {
            m_chkMinuten->setAccessibleName(QStringLiteral("Blöcke höchstens um %1 Minuten verschieben").arg(minutes));
        };
        nameShiftLimit(m_spnMinuten->value());
        connect(m_spnMinuten, &QSpinBox::valueChanged, m_chkMinuten, nameShiftLimit);
        shiftRow->addWidget(m_chkMinuten);
        shiftRow->addWidget(m_spnMinuten);
        shiftRow->addWidget(new QLabel(QStringLiteral("verschieben"), options));
        shiftRow->addStretch();
        m_chkHalbtag = new QCheckBox(QStringLiteral("&Vormittag und Nachmittag beibehalten"), options);
        m_chkHalbtag->setObjectName(QStringLiteral("chkHalbtag"));
        m_chkHalbtag->setChecked(true);
        optionsLayout->addWidget(m_chkStuhl);
        optionsLayout->addLayout(shiftRow);
        optionsLayout->addWidget(m_chkHalbtag);
    } else {
        m_tblWanted = new QTableWidget(int(treatments.size()), 2, options);
        m_tblWanted->setObjectName(QStringLiteral("tblWanted"));
        m_tblWanted->setAccessibleName(QStringLiteral("Wie viele zusätzlich?"));
        m_tblWanted->setHorizontalHeaderLabels({QStringLiteral("Behandlung"), QStringLiteral("Wie viele zusätzlich?")});
        m_tblWanted->verticalHeader()->hide();
        m_tblWanted->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        for (int r = 0; r < treatments.size(); ++r) {
            auto* code = new QTableWidgetItem(treatments[r]);
            code->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_tblWanted->setItem(r, 0, code);
            auto* count = new QTableWidgetItem;
            count->setData(Qt::EditRole, 0);
            m_tblWanted->setItem(r, 1, count);
        }
        m_tblWanted->setTabKeyNavigation(false);
        m_tblWanted->setCurrentCell(0, 1);
        // A count typed into a cell is confirmed with Return, and the cell is not read again then: the count is said.
        connect(m_tblWanted, &QTableWidget::itemChanged, this, [this](const QTableWidgetItem* item) {
            if (item->column() != 1)
                return;
            const QString said = QStringLiteral("%1 × %2 zusätzlich")
                                     .arg(item->data(Qt::EditRole).toInt())
                                     .arg(m_tblWanted->item(item->row(), 0)->text());
            // Once the cell's editor has closed and the focus is back in the table.
            QTimer::singleShot(0, this, [this, said] { m_announcer.announce(said); });
        });
        optionsLayout->addWidget(m_tblWanted);
    }
    layout->addWidget(options);

    auto* searchRow = new QHBoxLayout;
    m_cmdBerechnen = new QPushButton(QStringLiteral("&Berechnen"), this);
    m_cmdBerechnen->setObjectName(QStringLiteral("cmdBerechnen"));
    m_cmdBerechnen->setDefault(true);
    m_prgSuche = new QProgressBar(this);
    m_prgSuche->setObjectName(QStringLiteral("prgSuche"));
    m_prgSuche->setAccessibleName(QStringLiteral("Suche"));
    m_prgSuche->setTextVisible(false);
    m_prgSuche->hide();
    m_cmdBestes = new QPushButton(QStringLiteral("Bestes ü&bernehmen"), this);
    m_cmdBestes->setObjectName(QStringLiteral("cmdBestes"));
    m_cmdBestes->hide();
    searchRow->addWidget(m_cmdBerechnen);
    searchRow->addWidget(m_prgSuche, 1);
    searchRow->addWidget(m_cmdBestes);
    layout->addLayout(searchRow);

    auto* charts = new QGridLayout;
    m_chartBefore = new DoctorLoadChart(this);
    m_chartBefore->setObjectName(QStringLiteral("chartVorher"));
    m_chartBefore->setAccessibleName(QStringLiteral("Arztzeit vorher"));
    m_chartAfter = new DoctorLoadChart(this);
    m_chartAfter->setObjectName(QStringLiteral("chartNachher"));
    m_chartAfter->setAccessibleName(QStringLiteral("Arztzeit nachher"));
    charts->addWidget(new QLabel(QStringLiteral("Arztzeit vorher"), this), 0, 0);
    charts->addWidget(new QLabel(QStringLiteral("Arztzeit nachher"), this), 0, 1);
    charts->addWidget(m_chartBefore, 1, 0);
    charts->addWidget(m_chartAfter, 1, 1);
    layout->addLayout(charts);
    const QList<DemandRow> now = demandRows(m_snapshot.day().blocks);
    m_chartBefore->setDemand(now, m_snapshot.day().slotMinutes);
    m_chartAfter->setDemand(now, m_snapshot.day().slotMinutes);

    m_lstMoves = new QListWidget(this);
    m_lstMoves->setObjectName(QStringLiteral("lstMoves"));
    layout->addWidget(buddyLabel(balance ? QStringLiteral("&Verschiebungen:") : QStringLiteral("&Eingefügte Blöcke:"),
                                 m_lstMoves, this));
    m_lstMoves->setAccessibleName(balance ? QStringLiteral("Verschiebungen") : QStringLiteral("Eingefügte Blöcke"));
    layout->addWidget(m_lstMoves);
    m_lblErgebnis = new QLabel(this);
    m_lblErgebnis->setObjectName(QStringLiteral("lblErgebnis"));
    m_lblErgebnis->setWordWrap(true);
    m_lblErgebnis->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_lblUrteil = new QLabel(this);
    m_lblUrteil->setObjectName(QStringLiteral("lblUrteil"));
    m_lblUrteil->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    layout->addWidget(m_lblErgebnis);
    layout->addWidget(m_lblUrteil);

    auto* buttons = new QDialogButtonBox(this);
    m_cmdOK = buttons->addButton(QStringLiteral("Ü&bernehmen"), QDialogButtonBox::AcceptRole);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setEnabled(false);
    m_cmdAbbrechen = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    m_cmdAbbrechen->setObjectName(QStringLiteral("cmdAbbrechen"));
    m_cmdOK->setAutoDefault(false);
    m_cmdAbbrechen->setAutoDefault(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &frmAusgleichen::reject);
    connect(m_cmdBerechnen, &QPushButton::clicked, this, &frmAusgleichen::cmdBerechnen_Click);
    connect(m_cmdBestes, &QPushButton::clicked, this, &frmAusgleichen::cmdBestes_Click);

    m_progress.setInterval(50);
    connect(&m_progress, &QTimer::timeout, this, [this] {
        // The bar measures the time limit: the search ends there at the latest.
        m_prgSuche->setValue(int(std::min<qint64>(m_clock.elapsed(), m_prgSuche->maximum())));
        QMutexLocker lock(&m_bestLock);
        m_cmdBestes->setEnabled(m_best.has_value());
    });
    resize(640, 560);
}

frmAusgleichen::~frmAusgleichen()
{
    // The thread writes into this dialog until it ends.
    if (m_balancer)
        m_balancer->cancel();
    if (m_thread)
        m_thread->wait();
    delete m_thread;
}

BalanceOptions frmAusgleichen::options() const
{
    BalanceOptions o;
    if (m_mode != Mode::Balance)
        return o;
    o.chairChangeAllowed = m_chkStuhl->isChecked();
    if (m_chkMinuten->isChecked())
        o.maxShiftMinutes = m_spnMinuten->value();
    o.keepHalfDay = m_chkHalbtag->isChecked();
    return o;
}

QList<WantedBlocks> frmAusgleichen::wanted() const
{
    QList<WantedBlocks> list;
    if (!m_tblWanted)
        return list;
    for (int r = 0; r < m_tblWanted->rowCount(); ++r) {
        const int count = m_tblWanted->item(r, 1)->data(Qt::EditRole).toInt();
        if (count > 0)
            list.append({m_tblWanted->item(r, 0)->text(), count});
    }
    return list;
}

QString frmAusgleichen::verdict(const BalanceResult& result)
{
    if (result.proven)
        return QStringLiteral("Bestmögliche Lösung");
    const double seconds = result.elapsedMs / 1000.0;
    return QStringLiteral("Beste gefundene Lösung nach %1 s")
        .arg(QLocale(QLocale::German, QLocale::Germany)
                 .toString(seconds, 'f', seconds < 10 && result.elapsedMs % 1000 ? 1 : 0));
}

QString frmAusgleichen::notPlacedText(const BalanceResult& result)
{
    QStringList parts;
    for (const auto& [code, count] : result.notPlaced)
        parts.append(QStringLiteral("%1 × %2").arg(count).arg(code));
    if (parts.isEmpty())
        return QString();
    const int total = std::accumulate(result.notPlaced.cbegin(), result.notPlaced.cend(), 0,
                                      [](int sum, const QPair<QString, int>& p) { return sum + p.second; });
    return parts.join(QStringLiteral(", ")) +
           (total == 1 ? QStringLiteral(" passt nicht mehr") : QStringLiteral(" passen nicht mehr"));
}

QString frmAusgleichen::summary(Mode mode, const BalanceResult& result)
{
    if (mode == Mode::Fill) {
        const QString added = blocks(int(result.added.size())) + QStringLiteral(" eingefügt");
        const QString left = notPlacedText(result);
        return left.isEmpty() ? added : added + QStringLiteral(", ") + left;
    }
    const QString moved = blocks(int(result.moves.size())) + QStringLiteral(" verschoben");
    if (result.overloadAfter == 0)
        return moved + QStringLiteral(", keine Überlastung mehr");
    return moved + QStringLiteral(", noch %1 Minuten Überlastung (vorher %2)")
                       .arg(result.overloadAfter)
                       .arg(result.overloadBefore);
}

QList<DemandRow> frmAusgleichen::demandRows(const QList<BalanceBlock>& blocks) const
{
    const BalanceDay& day = m_snapshot.day();
    const QList<int> minutes = DayBalancer::demandPerRow(day, blocks);
    QList<DemandRow> rows;
    for (int r = 0; r < minutes.size(); ++r)
        rows.append({ClockTime::fromMinutes(day.dayStart + r * day.slotMinutes), minutes[r]});
    return rows;
}

void frmAusgleichen::cmdBerechnen_Click()
{
    if (m_thread)
        return;
    startSearch();
}

void frmAusgleichen::startSearch()
{
    m_result.reset();
    m_best.reset();
    m_lstMoves->clear();
    m_lblErgebnis->setText(QStringLiteral("Suche läuft..."));
    m_lblUrteil->clear();
    m_cmdOK->setEnabled(false);
    m_cmdBerechnen->setEnabled(false);
    m_prgSuche->setRange(0, options().timeLimitMs);
    m_prgSuche->setValue(0);
    m_clock.start();
    m_prgSuche->show();
    m_cmdBestes->show();
    m_cmdBestes->setEnabled(false);
    m_keepBest = true;
    m_balancer = std::make_unique<DayBalancer>(m_snapshot.day());
    const BalanceOptions o = options();
    m_limitMs = o.timeLimitMs;
    const QList<WantedBlocks> w = wanted();
    DayBalancer* balancer = m_balancer.get();
    auto better = [this](const BalanceResult& r) {
        QMutexLocker lock(&m_bestLock);
        m_best = r;
    };
    const Mode mode = m_mode;
    m_thread = QThread::create([this, balancer, o, w, mode, better] {
        m_final = mode == Mode::Balance ? balancer->balance(o, better) : balancer->fill(w, o.timeLimitMs, better);
    });
    connect(m_thread, &QThread::finished, this, &frmAusgleichen::searchFinished);
    m_progress.start();
    m_thread->start();
}

void frmAusgleichen::searchFinished()
{
    // A late signal of a thread already let go.
    if (!m_thread || sender() != m_thread)
        return;
    const bool stopped = m_stopped;
    releaseThread();
    // A search the user stopped has shown its answer already.
    if (!stopped)
        showEnd(m_final.found ? std::optional<BalanceResult>(m_final) : std::nullopt);
}

void frmAusgleichen::releaseThread()
{
    m_thread->wait(); // it has finished: no wait
    delete m_thread;
    m_thread = nullptr;
    m_balancer.reset();
    m_stopped = false;
    m_cmdBerechnen->setEnabled(true);
}

void frmAusgleichen::showEnd(const std::optional<BalanceResult>& answer)
{
    m_progress.stop();
    m_prgSuche->hide();
    m_cmdBestes->hide();
    if (m_keepBest && answer) {
        showResult(*answer);
    } else {
        m_lblErgebnis->setText(m_keepBest ? QStringLiteral("Keine Lösung gefunden.") : QStringLiteral("Abgebrochen."));
    }
    emit searchEnded();
}

void frmAusgleichen::showResult(const BalanceResult& result)
{
    m_result = result;
    m_lstMoves->clear();
    if (m_mode == Mode::Balance) {
        for (const BalanceMove& move : result.moves)
            m_lstMoves->addItem(m_snapshot.moveText(move));
    } else {
        for (const BalanceBlock& block : result.added)
            m_lstMoves->addItem(m_snapshot.addedText(block));
    }
    const QList<DemandRow> after = demandRows(result.blocks);
    // One scale for both, so that the bars compare.
    int peak = 0;
    for (const QList<DemandRow>& rows : {demandRows(m_snapshot.day().blocks), after})
        for (const DemandRow& row : rows)
            peak = std::max(peak, row.minutes);
    m_chartBefore->setScaleMinutes(peak);
    m_chartAfter->setScaleMinutes(peak);
    m_chartAfter->setDemand(after, m_snapshot.day().slotMinutes);
    m_lblErgebnis->setText(summary(m_mode, result));
    m_lblUrteil->setText(verdict(result));
    const bool changes = !result.moves.isEmpty() || !result.added.isEmpty();
    m_cmdOK->setEnabled(changes);
    // The focus moves to the button that comes next; a screen reader says the answer with it.
    QPushButton* next = changes ? m_cmdOK : m_cmdBerechnen;
    m_cmdOK->setAccessibleDescription(QString());
    m_cmdBerechnen->setAccessibleDescription(QString());
    next->setAccessibleDescription(m_lblErgebnis->text() + QStringLiteral(". ") + m_lblUrteil->text());
    if (changes)
        m_cmdOK->setDefault(true);
    next->setFocus();
}

void frmAusgleichen::stopSearch(bool keepBest)
{
    if (!searching())
        return;
    m_keepBest = keepBest;
    m_balancer->cancel();
    std::optional<BalanceResult> answer;
    if (m_thread->isFinished()) {
        answer = m_final.found ? std::optional<BalanceResult>(m_final) : std::nullopt;
        releaseThread();
    } else {
        // The search stops within milliseconds, but a large day's model takes longer to build than the window may
        // wait: the answer is the best one reported so far, and the thread is let go when it ends.
        m_stopped = true;
        QMutexLocker lock(&m_bestLock);
        answer = m_best;
        if (answer)
            answer->cancelled = true;
    }
    showEnd(answer);
}

void frmAusgleichen::cmdBestes_Click()
{
    stopSearch(true);
}

void frmAusgleichen::reject()
{
    // Abbrechen during the search ends the search only; the answer is thrown away and the dialog stays.
    if (searching()) {
        stopSearch(false);
        m_cmdBerechnen->setFocus();
        return;
    }
    QDialog::reject();
}

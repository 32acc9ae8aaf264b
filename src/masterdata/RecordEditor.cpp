#include "masterdata/RecordEditor.h"

#include "kernel/AppServices.h"
#include "kernel/LunarisError.h"
#include "masterdata/RecordNavigator.h"
#include "store/Database.h"
#include "ui/MessageService.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

namespace {
constexpr int NoCurrentRecord = 3021;
constexpr int MissingTable = 3078;

const QString kSaveQuestion = QStringLiteral("Möchten Sie die Änderungen speichern?");
const QString kCheckData = QStringLiteral("Bitte überprüfen Sie die Daten!");
const QString kErrorTitle = QStringLiteral("Fehler");
const QString kNoCurrentRecord = QStringLiteral("Kein aktueller Datensatz.");

QList<RecordField> recordFields(const QList<BoundField>& fields)
{
    QList<RecordField> result;
    for (const BoundField& field : fields) {
        auto kind = RecordField::Kind::Text;
        if (field.numeric)
            kind = field.fraction ? RecordField::Kind::Number : RecordField::Kind::WholeNumber;
        result.append({field.field, kind});
    }
    return result;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}
} // namespace

RecordEditor::RecordEditor(RecordEditorSetup setup, LunarisState& state, AppServices& services, QWidget* parent)
    : QDialog(parent), m_state(state), m_services(services), m_setup(std::move(setup)),
      m_model(RecordTable(services.database, m_setup.table, recordFields(m_setup.fields)))
{
    setObjectName(m_setup.objectName);
    setWindowTitle(m_setup.caption);
    buildForm();
    formLoad();
}

RecordEditor::~RecordEditor() = default;

void RecordEditor::buildForm()
{
    createBoxes();

    QPushButton* cmdAdd = makeButton(this, QStringLiteral("cmdAdd"), QStringLiteral("&Neu"));
    QPushButton* cmdDelete = makeButton(this, QStringLiteral("cmdDelete"), QStringLiteral("&Löschen"));
    QPushButton* cmdRefresh = makeButton(this, QStringLiteral("cmdRefresh"), QStringLiteral("Re&fresh"));
    QPushButton* cmdUpdate = makeButton(this, QStringLiteral("cmdUpdate"), QStringLiteral("&Speichern"));
    QPushButton* cmdClose = makeButton(this, QStringLiteral("cmdSchließen"), QStringLiteral("S&chließen"));
    const QList<QPushButton*> buttons = {cmdAdd, cmdDelete, cmdRefresh, cmdUpdate, cmdClose};
    int buttonWidth = 0;
    for (QPushButton* button : buttons)
        buttonWidth = qMax(buttonWidth, button->sizeHint().width());
    for (QPushButton* button : buttons) {
        button->setMinimumWidth(buttonWidth);
        // Without a default button Enter must not press one that Qt would pick by itself.
        if (!m_setup.closeIsDefault)
            button->setAutoDefault(false);
    }
    cmdClose->setDefault(m_setup.closeIsDefault);

    // A workstation that may only read shows the records but offers nothing that writes.
    const QString readOnly = m_services.database.readOnlyReason();
    if (!readOnly.isEmpty()) {
        for (QPushButton* write : {cmdAdd, cmdDelete, cmdUpdate})
            write->setEnabled(false);
        for (QLineEdit* box : std::as_const(m_focusOrder))
            box->setReadOnly(true);
    }
    auto* warning = new QLabel(readOnly.isEmpty() ? m_setup.warning : readOnly, this);
    warning->setObjectName(QStringLiteral("Label1"));
    warning->setWordWrap(true);
    QPalette palette = warning->palette();
    palette.setColor(QPalette::WindowText, QColor(Qt::darkRed));
    warning->setPalette(palette);

    m_navigator = new RecordNavigator(this);

    auto* form = new QGridLayout(this);
    form->setSizeConstraint(QLayout::SetFixedSize);
    form->addLayout(fieldArea(), 0, 0, 1, 3);
    form->addWidget(cmdClose, 0, 3, Qt::AlignTop);
    for (int column = 0; column < 4; ++column)
        form->addWidget(buttons.at(column), 1, column);
    form->addWidget(warning, 2, 0, 1, 4);
    form->addWidget(m_navigator, 3, 0, 1, 4);

    QList<QWidget*> focusChain(m_focusOrder.cbegin(), m_focusOrder.cend());
    focusChain.append(QList<QWidget*>(buttons.cbegin(), buttons.cend()));
    for (QToolButton* button : m_navigator->buttons())
        focusChain.append(button);
    for (qsizetype i = 1; i < focusChain.size(); ++i)
        setTabOrder(focusChain.at(i - 1), focusChain.at(i));
    m_focusOrder.first()->setFocus();

    connect(cmdAdd, &QPushButton::clicked, this, &RecordEditor::cmdAdd_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &RecordEditor::cmdDelete_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &RecordEditor::cmdRefresh_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &RecordEditor::cmdUpdate_Click);
    connect(cmdClose, &QPushButton::clicked, this, &RecordEditor::reject);
    connect(m_navigator, &RecordNavigator::firstRequested, this, [this] { navigate(Move::First); });
    connect(m_navigator, &RecordNavigator::previousRequested, this, [this] { navigate(Move::Previous); });
    connect(m_navigator, &RecordNavigator::nextRequested, this, [this] { navigate(Move::Next); });
    connect(m_navigator, &RecordNavigator::lastRequested, this, [this] { navigate(Move::Last); });
}

// The bound text boxes, in focus order; a box is as wide as the characters it takes.
void RecordEditor::createBoxes()
{
    const QFontMetrics metrics(font());
    for (const BoundField& field : m_setup.fields) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("txtFields%1").arg(field.index));
        box->setToolTip(field.toolTip);
        m_delegate.bind(box, field.maxLength, field.numeric);
        const int width = metrics.horizontalAdvance(QString(field.maxLength + 1, QLatin1Char('X'))) + 8;
        if (field.wide)
            box->setMinimumWidth(width);
        else
            box->setFixedWidth(width);
        connect(box, &QLineEdit::textEdited, this, [this] { m_dirty = true; });
        m_boxes.insert(field.index, box);
        m_focusOrder.append(box);
    }
}

// Labels left of their boxes, one or two fields a row; a wide box spans the row.
QGridLayout* RecordEditor::fieldArea()
{
    auto* fieldGrid = new QGridLayout;
    fieldGrid->setColumnMinimumWidth(2, 16); // gap between the left and the right field
    fieldGrid->setColumnStretch(5, 1);
    for (int row = 0; row < m_setup.rows.size(); ++row) {
        const QList<int>& indexes = m_setup.rows.at(row);
        for (int side = 0; side < indexes.size(); ++side) {
            const auto field = std::find_if(m_setup.fields.cbegin(), m_setup.fields.cend(),
                                            [&](const BoundField& f) { return f.index == indexes.at(side); });
            QLineEdit* box = m_boxes.value(field->index);
            auto* label = new QLabel(field->label, this);
            label->setObjectName(QStringLiteral("lblLabels%1").arg(field->index));
            label->setBuddy(box);
            fieldGrid->addWidget(label, row, side * 3);
            if (field->wide)
                fieldGrid->addWidget(box, row, 1, 1, 5);
            else
                fieldGrid->addWidget(box, row, side * 3 + 1, Qt::AlignLeft);
        }
    }
    return fieldGrid;
}

void RecordEditor::formLoad()
{
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().topLeft());

    // A step that fails is skipped: without its table the editor opens empty.
    m_mapper.setModel(&m_model);
    m_mapper.setItemDelegate(&m_delegate);
    m_mapper.setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    for (int column = 0; column < m_setup.fields.size(); ++column)
        m_mapper.addMapping(m_boxes.value(m_setup.fields.at(column).index), column);
    try {
        m_model.selectAll();
    } catch (const LunarisError&) {
    }
    showRow(m_model.rowCount() > 0 ? 0 : -1);
}

void RecordEditor::select()
{
    try {
        m_model.selectAll();
    } catch (const LunarisError&) {
        reportErrorEvent();
    }
}

void RecordEditor::done(int result)
{
    // Closing with entries that cannot be written keeps the editor open, so they are not lost.
    if (validate() == Validation::Abandoned)
        return;
    formUnload();
    QDialog::done(result);
}

void RecordEditor::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Page Down and Ctrl+Page Up: the next and the previous record, from any field.
    if (event->modifiers() == Qt::ControlModifier &&
        (event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp)) {
        navigate(event->key() == Qt::Key_PageDown ? Move::Next : Move::Previous);
        event->accept();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !m_setup.closeIsDefault) {
        // No default button: Enter presses only the button that has the focus.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void RecordEditor::cmdAdd_Click()
{
    if (validate() == Validation::Abandoned)
        return;
    try {
        if (!m_model.hasTable())
            throw LunarisError(MissingTable,
                               QStringLiteral("Die Tabelle „%1“ kann nicht gelesen werden.").arg(m_setup.table));
        const int row = m_model.appendNew();
        m_rowBeforeAdd = m_row;
        m_newRow = row;
        showRow(row);
        m_focusOrder.first()->setFocus();
    } catch (const LunarisError& e) {
        reportFailure(e);
    }
}

void RecordEditor::cmdDelete_Click()
{
    if (!confirmDelete())
        return;
    const bool onNewRecord = isNewRecord();
    const Validation validation = validate();
    if (validation == Validation::Abandoned)
        return;
    // A record begun with "Neu" and never stored is only dropped.
    if (onNewRecord && validation == Validation::Discarded)
        return;
    try {
        if (m_row < 0)
            throw LunarisError(NoCurrentRecord, kNoCurrentRecord);
        const int row = m_row;
        const qint64 rowId = m_model.read(row).rowId;
        try {
            m_model.remove(row, alongsideDelete(m_model.read(row).values));
        } catch (const LunarisError& e) {
            if (e.number() != RecordTable::ChangedElsewhere)
                throw;
            m_services.messages.inform(this, e.description(), kErrorTitle, QMessageBox::NoIcon);
            reread(rowId, row);
            return;
        }
        select();
        // The next record becomes current, or the new last one; none when the table is now empty.
        showRow(qMin(row, m_model.rowCount() - 1));
    } catch (const LunarisError& e) {
        deleteFailed(e);
        return;
    }
    tableChanged();
}

void RecordEditor::cmdRefresh_Click()
{
    // The entries are dropped before the table is read again, so no save question comes.
    m_model.revertAll();
    m_newRow = -1;
    m_dirty = false;
    select();
    showRow(m_model.rowCount() > 0 ? 0 : -1);
}

void RecordEditor::cmdUpdate_Click()
{
    QString description;
    bool changedElsewhere = false;
    if (!storeEntries(description, changedElsewhere)) {
        m_services.messages.inform(this, description.isEmpty() ? m_setup.writeFallback : description, kErrorTitle,
                                   QMessageBox::NoIcon);
        return;
    }
    tableChanged();
}

void RecordEditor::navigate(Move move)
{
    if (validate() == Validation::Abandoned)
        return;
    const int last = m_model.rowCount() - 1;
    int target = 0;
    switch (move) {
    case Move::First:
        target = 0;
        break;
    case Move::Previous:
        target = qMax(m_row - 1, 0);
        break;
    case Move::Next:
        target = qMin(m_row + 1, last);
        break;
    case Move::Last:
        target = last;
        break;
    }
    showRow(last < 0 ? -1 : target);
    // The caption says only the number; a screen reader hears where in the table that is.
    m_announcer.announce(m_row < 0 ? QStringLiteral("Kein Datensatz")
                                   : QStringLiteral("Datensatz %1 von %2").arg(m_row + 1).arg(m_model.rowCount()));
}

RecordEditor::Validation RecordEditor::validate()
{
    if (m_dirty && m_services.messages.askYesNo(this, kSaveQuestion, m_setup.caption)) {
        QString description;
        bool changedElsewhere = false;
        if (!storeEntries(description, changedElsewhere)) {
            // A record another program changed is read again: the user is told why.
            if (changedElsewhere)
                m_services.messages.inform(this, description, kErrorTitle, QMessageBox::NoIcon);
            else
                reportErrorEvent();
            return Validation::Abandoned;
        }
        return Validation::Written;
    }
    discardEntries();
    return Validation::Discarded;
}

bool RecordEditor::storeEntries(QString& description, bool& changedElsewhere)
{
    if (m_row < 0) {
        description = kNoCurrentRecord;
        return false;
    }
    const int row = m_row;
    const qint64 readId = m_model.read(row).rowId;
    m_mapper.submit();
    qint64 rowId = -1;
    try {
        std::function<void()> alongside;
        if (m_model.isStored(row))
            alongside = alongsideWrite(m_model.read(row).values, m_model.valuesToStore(row));
        rowId = m_model.store(row, alongside);
    } catch (const LunarisError& e) {
        description = e.description();
        changedElsewhere = e.number() == RecordTable::ChangedElsewhere;
        if (changedElsewhere)
            reread(readId, row);
        return false;
    }
    m_newRow = -1;
    select();
    showRow(m_model.rowOf(rowId));
    return true;
}

void RecordEditor::reread(qint64 rowId, int fallback)
{
    m_newRow = -1;
    select();
    const int row = m_model.rowOf(rowId);
    showRow(row >= 0 ? row : qMin(fallback, m_model.rowCount() - 1));
}

void RecordEditor::discardEntries()
{
    if (!m_dirty && m_newRow < 0)
        return;
    const bool wasNew = m_newRow >= 0;
    m_model.revertAll();
    m_newRow = -1;
    showRow(wasNew ? m_rowBeforeAdd : m_row);
}

void RecordEditor::showRow(int row)
{
    m_row = row >= 0 && row < m_model.rowCount() ? row : -1;
    if (m_row >= 0)
        m_mapper.setCurrentIndex(m_row);
    for (QLineEdit* box : std::as_const(m_focusOrder)) {
        if (m_row < 0)
            box->clear();
        // Without a record there is nothing to type into; "Neu" begins one.
        box->setEnabled(m_row >= 0);
    }
    m_dirty = false;
    reposition();
}

void RecordEditor::reposition()
{
    // A record begun with "Neu" has no position in the table until it is stored.
    const int position = isNewRecord() ? -1 : m_row;
    m_navigator->setCaption(QStringLiteral("Datensatz: %1").arg(position + 1));
}

void RecordEditor::reportFailure(const LunarisError& error)
{
    m_services.messages.inform(
        this, QStringLiteral("Fehler: ") + QString::number(error.number()) + QLatin1Char(' ') + error.description(),
        QStringLiteral("Lunaris"), QMessageBox::NoIcon);
}

void RecordEditor::reportErrorEvent()
{
    m_services.messages.inform(this, kCheckData, kErrorTitle, QMessageBox::NoIcon);
}

#include "app/HistoryActions.h"

#include "ui/ToolBarLooks.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QUndoStack>

HistoryActions::HistoryActions(QUndoStack& history, QMenu& edit)
    : m_undo(edit.addAction(QString())), m_redo(edit.addAction(QString()))
{
    m_undo->setObjectName(QStringLiteral("mnuEditUndo"));
    m_undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    m_redo->setObjectName(QStringLiteral("mnuEditRedo"));
    m_redo->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    edit.addSeparator()->setObjectName(QStringLiteral("mnuEditBar1"));
    QObject::connect(m_undo, &QAction::triggered, &history, &QUndoStack::undo);
    QObject::connect(m_redo, &QAction::triggered, &history, &QUndoStack::redo);
    // The items name the step they take back or make again.
    auto name = [](QAction* action, const QString& caption, const QString& step, bool enabled) {
        action->setText(step.isEmpty() ? caption : caption + QStringLiteral(": ") + step);
        action->setEnabled(enabled);
    };
    auto follow = [this, &history, name] {
        name(m_undo, QStringLiteral("&Rückgängig"), history.undoText(), history.canUndo());
        name(m_redo, QStringLiteral("&Wiederherstellen"), history.redoText(), history.canRedo());
    };
    QObject::connect(&history, &QUndoStack::indexChanged, &edit, follow);
    QObject::connect(&history, &QUndoStack::cleanChanged, &edit, follow);
    follow();
}

void HistoryActions::addButtons(QToolBar& bar)
{
    for (QAction* step : {m_undo, m_redo}) {
        const bool undo = step == m_undo;
        QAction* button = bar.addAction(ToolBarLooks::icon(&bar, undo ? "edit-undo" : "edit-redo",
                                                           undo ? QStyle::SP_ArrowBack : QStyle::SP_ArrowForward),
                                        undo ? QStringLiteral("Rückgängig") : QStringLiteral("Wiederherstellen"));
        button->setObjectName(undo ? QStringLiteral("tbToolBar_Undo") : QStringLiteral("tbToolBar_Redo"));
        button->setData(undo ? QStringLiteral("Undo") : QStringLiteral("Redo"));
        auto follow = [button, step] {
            button->setEnabled(step->isEnabled());
            button->setToolTip(ToolBarLooks::plainToolTip(step->text()));
        };
        QObject::connect(step, &QAction::changed, button, follow);
        QObject::connect(button, &QAction::triggered, step, &QAction::trigger);
        follow();
    }
}

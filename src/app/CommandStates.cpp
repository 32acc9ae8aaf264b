#include "app/CommandStates.h"

#include "kernel/LunarisState.h"

#include <QAction>

CommandStates::CommandStates(Actions actions, const LunarisState& state, std::function<bool()> writable)
    : m_actions(actions), m_state(state), m_writable(std::move(writable))
{
    for (QAction* action : {m_actions.save, m_actions.saveAs, m_actions.rename, m_actions.remove, m_actions.print,
                            m_actions.preview, m_actions.pdf, m_actions.toolSave, m_actions.toolPrint})
        action->setEnabled(false);
}

void CommandStates::dayOpened(bool removable)
{
    const bool write = writable();
    for (QAction* action : {m_actions.save, m_actions.saveAs, m_actions.toolSave})
        action->setEnabled(write);
    for (QAction* action : {m_actions.print, m_actions.preview, m_actions.pdf, m_actions.toolPrint})
        action->setEnabled(true);
    m_actions.remove->setEnabled(removable && write);
    followName();
}

void CommandStates::followName()
{
    m_actions.rename->setEnabled(m_state.DayOpen && !m_state.CurrentIdealtag.isEmpty() && writable());
}

void CommandStates::followReadOnly()
{
    for (QAction* action : {m_actions.save, m_actions.saveAs, m_actions.rename, m_actions.remove, m_actions.toolSave})
        action->setEnabled(false);
}

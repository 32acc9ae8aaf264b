#include "kernel/LunarisState.h"

#include <QUndoStack>

bool LunarisState::modified() const
{
    return m_dayHistory && !m_dayHistory->isClean();
}

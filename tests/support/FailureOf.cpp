#include "FailureOf.h"

#include "kernel/LunarisError.h"

QString failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const LunarisError& e) {
        return QStringLiteral("%1 %2").arg(e.number()).arg(e.description());
    }
    return {};
}

#include "FailureOf.h"

#include "app/LunarisError.h"

QString failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const LunarisError& e) {
        return QStringLiteral("%1 %2").arg(e.number()).arg(e.description());
    }
    return {};
}

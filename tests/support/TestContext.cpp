#include "TestContext.h"

TestContext::TestContext() : services{tempDatabase.database(), settings, messages, modals}
{
    state.DatabaseFile = tempDatabase.path();
    state.HelpFile = QStringLiteral("hilfe/inhalt.html");
    state.MaxChairs = 10;
}

#pragma once

#include <QString>

#include <functional>

// The failure the action raised, as "number description"; empty when it went through.
QString failureOf(const std::function<void()>& action);

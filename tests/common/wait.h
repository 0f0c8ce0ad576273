#pragma once

#include <functional>

// Processes events until the condition holds or the time is up; returns the condition.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs = 10000);

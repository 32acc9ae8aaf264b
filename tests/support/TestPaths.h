#pragma once

#include <QString>

// Where this build put the program and the tests' helper programs, and where the checkout is, as a test program
// sees them (under Wine through drive Z:). The build writes them into one small generated file instead of each
// test's compiler line, so a checkout in another folder finds every other object in the compiler cache.
namespace TestPaths {
QString program();
// The folder the program runs from, with its help and icons.
QString programDir();
QString sourceFile(const QString& relativePath);
// A helper program built beside the tests, by its target name.
QString helper(const QString& name);
} // namespace TestPaths

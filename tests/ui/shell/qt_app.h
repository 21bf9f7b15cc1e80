#pragma once

// One QApplication for every test of the executable, made before the first test runs.
namespace tw::test {
void EnsureQtApplication();
}

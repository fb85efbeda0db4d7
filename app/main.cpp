// SPDX-License-Identifier: GPL-3.0-or-later
// Ostrel: logs a radiation counter, one record per clock minute.

#include "app/Program.h"

int main(int argc, char** argv) {
    return ostrel::RunProgram(argc, argv);
}

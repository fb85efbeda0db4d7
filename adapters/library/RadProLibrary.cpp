// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/RadProProtocol.h"
#include "adapters/library/LibrarySetup.h"

ostrel::adapters::TAdapterSetup ostrel::adapters::LibrarySetup() {
    return RadProAdapterSetup();
}

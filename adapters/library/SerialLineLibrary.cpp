// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/LineProtocol.h"
#include "adapters/library/LibrarySetup.h"

ostrel::adapters::TAdapterSetup ostrel::adapters::LibrarySetup() {
    return SerialLineAdapterSetup();
}

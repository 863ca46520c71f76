// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Every capture test runs on this thread: it is the main thread that notification
// threads ask to run their polls.
#include <gtest/gtest.h>

#include "base/MainThreadQueue.h"

using namespace veldora::base;

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    MainThreadQueue::instance().setMainThread();
    return RUN_ALL_TESTS();
}

// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A combo box's popup list is a window of its own to a screen reader, read as a bare
// "list" unless named. Main thread only.

class QWidget;

namespace veldora::app {

// Names the popup list of every combo box in the window after its combo box (its
// accessible name, else the label it is the buddy of). Call once the window is built;
// combo boxes without a name are left alone.
void nameComboLists(QWidget* window);

} // namespace veldora::app

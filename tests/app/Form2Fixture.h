// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A real main window, built and started as the program does it (layout, then
// FormCreate), with the two secondary windows and the state they share, fresh for
// each test; recorded message boxes are cleared.
#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include "app/Application.h"
#include "app/ProgramState.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm3.h"
#include "capture/SoundCaptureStream.h"
#include "tests/app/TestApp.h"
#include "tests/support/SimulatedSoundService.h"

class Form2Fixture : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApp::clearMessages();
        {
            // Start-up against a simulated sound service, never the machine's sound:
            // capture starts, then the stream is released with the service. Tests that
            // need capture make their own service and stream.
            SimulatedSoundService sound;
            form = std::make_unique<veldora::app::TForm2>(state);
            TestApp::app().guard([this] { form->FormCreate(); });
            form->CaptureStream.reset();
        }
        dialog = std::make_unique<veldora::app::TForm1>(state);
        about = std::make_unique<veldora::app::TForm3>(state);
    }
    void TearDown() override {
        about.reset();
        dialog.reset();
        form.reset();
        TestApp::app().setIdleHandler({});
        TestApp::clearMessages();
    }

    // Shows the main window and lets the platform settle it.
    void showForm() {
        form->show();
        QCoreApplication::processEvents();
    }

    veldora::app::ProgramState state; // outlives the windows
    std::unique_ptr<veldora::app::TForm2> form;
    std::unique_ptr<veldora::app::TForm1> dialog;
    std::unique_ptr<veldora::app::TForm3> about;
};

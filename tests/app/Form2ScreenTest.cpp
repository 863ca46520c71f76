// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/PictureImage.h"
#include "base/ExecutablePath.h"
#include "display/Graticule.h"
#include "storage/BmpFile.h"
#include "tests/app/Form2Fixture.h"
#include "tests/app/SavedFile.h"

using namespace veldora::base;
using namespace veldora::display;
using namespace veldora::storage;

namespace {

// The background files lie next to the program; the test program stands in for it.
// Removes both files for the test and puts back what was there when it goes.
class BackgroundFiles {
  public:
    BackgroundFiles()
        : normal_(executableDirectory() + "/background.bmp"),
          reversed_(executableDirectory() + "/background2.bmp") {
        removeAll();
    }
    const std::string& normal() const { return normal_.path(); }
    const std::string& reversed() const { return reversed_.path(); }
    void removeAll() {
        std::remove(normal().c_str());
        std::remove(reversed().c_str());
    }

  private:
    SavedFile normal_, reversed_;
};

Bitmap filled(int width, int height, uint32_t rgb) {
    Bitmap picture(width, height, rgb);
    picture.setPixel(0, 0, 0x010203); // one odd pixel, so orientation mistakes show
    return picture;
}

using Form2ScreenTest = Form2Fixture;

// One test: the files are shared by every process that runs from this directory.
TEST_F(Form2ScreenTest, ClearAndReversLoadTheBackgroundOfTheScheme) {
    BackgroundFiles files;
    const Bitmap normal = filled(291, 330, 0x406080);
    const Bitmap reversed = filled(100, 50, 0xC0FFEE); // sizes are not checked
    writeBmpFile(files.normal(), normal);
    writeBmpFile(files.reversed(), reversed);
    const Bitmap graticule = makeGraticule();

    {
        SCOPED_TRACE("at start nothing is loaded");
        EXPECT_EQ(form->Image1->picture(), graticule);
        EXPECT_FALSE(state.Reversed);
    }
    {
        SCOPED_TRACE("Clear in the normal scheme");
        form->Button7->click();
        EXPECT_EQ(form->Image2->picture(), normal);
        EXPECT_EQ(form->Image1->picture(), normal);
        EXPECT_FALSE(state.Reversed);
    }
    {
        SCOPED_TRACE("Revers switches to the reversed scheme");
        form->Button9->click();
        EXPECT_TRUE(state.Reversed);
        EXPECT_EQ(form->Image2->picture(), reversed);
        EXPECT_EQ(form->Image1->picture(), reversed);
    }
    {
        SCOPED_TRACE("Clear while reversed reloads the reversed file");
        form->Image1->setPicture(graticule);
        form->Button7->click();
        EXPECT_EQ(form->Image1->picture(), reversed);
        EXPECT_TRUE(state.Reversed);
    }
    {
        SCOPED_TRACE("Revers back");
        form->Button9->click();
        EXPECT_FALSE(state.Reversed);
        EXPECT_EQ(form->Image1->picture(), normal);
    }
    EXPECT_TRUE(TestApp::messages().empty());

    {
        SCOPED_TRACE("Revers with its file missing: message, pictures kept, scheme switched");
        std::remove(files.reversed().c_str());
        form->Image1->setPicture(graticule); // the screen as a live drawing left it
        form->Button9->click();
        EXPECT_TRUE(state.Reversed);
        ASSERT_EQ(TestApp::messages().size(), 1u);
        EXPECT_EQ(TestApp::messages()[0].text.toStdString(), "Cannot open file " + files.reversed() + ".");
        EXPECT_EQ(form->Image1->picture(), graticule);
        EXPECT_EQ(form->Image2->picture(), normal);
        form->Button9->click(); // a second press switches back
        EXPECT_FALSE(state.Reversed);
        EXPECT_EQ(form->Image1->picture(), normal);
        TestApp::clearMessages();
    }
    {
        SCOPED_TRACE("Clear with a file that is not a bitmap");
        std::ofstream(files.normal(), std::ios::binary | std::ios::trunc) << "not a picture at all";
        form->Image1->setPicture(graticule);
        form->Button7->click();
        ASSERT_EQ(TestApp::messages().size(), 1u);
        EXPECT_EQ(TestApp::messages()[0].text, "Bitmap image is not valid.");
        EXPECT_EQ(form->Image1->picture(), graticule);
        EXPECT_EQ(form->Image2->picture(), normal);
        EXPECT_FALSE(state.Reversed);
    }
}

} // namespace

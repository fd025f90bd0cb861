#pragma once

#include "annotation/CustomColors.h"
#include "annotation/EditorDocument.h"
#include "app/Preferences.h"
#include "support/Captures.h"
#include "support/Captures.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

#include <memory>

namespace viewstest {

using namespace annotation;

inline app::Capture captureOf(int width, int height, double scale = 1) {
    return testsupport::captureOf(testsupport::solidImage(width, height, QColor(70, 120, 180)),
                                  scale);
}

// A document over a plain capture, custom colours kept in memory and the
// preferences in a file of the test's own.
class ViewsTest : public testing::Test {
protected:
    testsupport::TempDir dir;
    CustomColors colours{nullptr};
    app::Preferences preferences{dir.file(QStringLiteral("settings.conf"))};
    std::unique_ptr<EditorDocument> doc = makeDocument(1000, 600);

    std::unique_ptr<EditorDocument> makeDocument(int width, int height, double scale = 1,
                                                 EditorState state = {}) {
        return std::make_unique<EditorDocument>(captureOf(width, height, scale), state, &colours);
    }

    // A mark of the tool's kind, added and selected.
    Annotation addSelected(Tool tool, Point at = {10, 10}) {
        const Tool before = doc->tool();
        doc->setTool(tool);
        Annotation a = *doc->newAnnotation(at);
        doc->addAnnotation(a);
        doc->select(a.id);
        doc->setTool(before);
        doc->select(a.id);
        return a;
    }
};

} // namespace viewstest

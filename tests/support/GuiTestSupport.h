#pragma once
// Helpers for GUI tests: find a control by its object name (failing the test when it is
// missing), and a Printer seam that prints into a PDF file instead of onto paper.
#include <QObject>
#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/Platform.h"

class QAbstractItemView;

namespace brimlow::test {

template <typename T>
T* Named(QObject* root, const char* name)
{
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << "no control named " << name;
    return w;
}

// The texts a list shows, row by row, whether it is a list widget or a view of a model.
std::vector<std::string> ListLines(const QAbstractItemView* list);
// Scrolls a list's row into view and clicks it with the left button.
void ClickListRow(QAbstractItemView* list, int row);

class PdfPrinter final : public Printer {
public:
    explicit PdfPrinter(std::string path) : m_path(std::move(path)) {}
    bool PrintText(const std::string& text) override;
    int jobs = 0;

private:
    std::string m_path;
};

// Text of a PDF as pdftotext reads it.
std::string PdfText(const std::string& pdfPath);

}  // namespace brimlow::test

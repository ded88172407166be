#include "support/GuiTestSupport.h"

#include <QAbstractItemView>
#include <QPrinter>
#include <QTest>
#include <QTextDocument>
#include <array>
#include <cstdio>

namespace brimlow::test {

std::vector<std::string> ListLines(const QAbstractItemView* list)
{
    std::vector<std::string> out;
    const QAbstractItemModel* model = list->model();
    for (int i = 0; i < model->rowCount(); ++i)
        out.push_back(model->index(i, 0).data().toString().toStdString());
    return out;
}

void ClickListRow(QAbstractItemView* list, int row)
{
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

bool PdfPrinter::PrintText(const std::string& text)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(m_path));
    QTextDocument doc;
    doc.setPlainText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())) + QLatin1Char('\n'));
    doc.print(&printer);
    ++jobs;
    return true;
}

std::string PdfText(const std::string& pdfPath)
{
    std::string cmd = "pdftotext -layout '" + pdfPath + "' - 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        std::array<char, 4096> buf;
        std::size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        pclose(p);
    }
    return out;
}

}  // namespace brimlow::test

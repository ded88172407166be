#include "host/frmRefreshingCache.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "host/PageKit.h"
#include "platform/qt/BareToolFrame.h"

namespace brimlow {

namespace {
constexpr int kWidth = 312;   // 4680 twips
constexpr int kHeight = 111;  // 1665 twips
}  // namespace

frmRefreshingCache::frmRefreshingCache() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("frmRefreshingCache"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString());
    setFixedSize(kWidth, kHeight);
    KeepFrameBare(*this);
    setCursor(Qt::WaitCursor);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(QStringLiteral("Brimlow is refrshing the cache data.\n"
                                   "This may take a minute depending on the size and number of cache entries."));
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setBold(true);
    bold.setPointSizeF(8.25);
    Label1->setFont(bold);
    Label1->setGeometry(8, 8, kWidth - 16, 56);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setGeometry(0, 76, kWidth, 28);
    Status->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setGeometry(0, 70, kWidth, 14);
    ProgressBar1->raise();
    ProgressBar1->hide();

    CentreOnScreen(this, QSize(kWidth, kHeight));
}

}  // namespace brimlow

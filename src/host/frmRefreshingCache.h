#pragma once
// The progress window: a fixed message, a status line and a bar that its callers fill.
// It has no behaviour of its own; the start-up loads it hidden.
#include <QWidget>

class QLabel;
class QProgressBar;

namespace brimlow {

class frmRefreshingCache : public QWidget {
    Q_OBJECT

public:
    frmRefreshingCache();

    QLabel* Label1 = nullptr;
    QLabel* Status = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};

}  // namespace brimlow

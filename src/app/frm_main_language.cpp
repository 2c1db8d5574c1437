// The window's language, switched live: the forms' captions and hints, the
// texts the code sets from the window's state, the table headers, the chart
// and the pages. What the traffic views, the exchange log's details and the
// messages already show stays as it was written; what follows is in the new
// language. Frames, files and values never depend on the language.
#include "frm_main.h"

#include "bus/scan_result_model.h"
#include "exchange/capture_writer.h"
#include "exchange/exchange_log_model.h"
#include "exchange/exchange_pairing.h"
#include "lazy_page.h"
#include "motion_chart.h"
#include "traffic/reply_decoder.h"

#include <QStandardItemModel>

namespace {

// Headers and cells are made when a view asks, so a tab shown later reads them
// afresh; the headers are announced so that their widths follow the new texts. The
// cells are not: a change to every row would have the log's filter look at each of
// its 100000 rows again.
void refreshHeaders(QAbstractItemModel *model)
{
    if (const int columns = model->columnCount(); columns > 0)
        emit model->headerDataChanged(Qt::Horizontal, 0, columns - 1);
}

} // namespace

void FrmMain::setLanguage(Language language)
{
    // The option buttons follow a switch made from code (settings, tests).
    const QSignalBlocker blockChinese(ui.Option1);
    const QSignalBlocker blockEnglish(ui.Option2);
    (language == Language::English ? ui.Option2 : ui.Option1)->setChecked(true);
    installLanguage(language);
    retranslate();
}

void FrmMain::retranslate()
{
    // The forms: the user's entries and the texts the code sets from events (the
    // configuration's status) are untranslatable in the forms and stay.
    ui.retranslateUi(this);
    frame1.retranslateUi(ui.Frame1);
    frame2.retranslateUi(ui.Frame2);
    frame3.retranslateUi(ui.Frame3);
    frame4.retranslateUi(ui.Frame4);
    frame5.retranslateUi(ui.Frame5);
    frame6.retranslateUi(ui.Frame6);

    // Texts the code sets from the window's state.
    MenuCMD->setTitle(tr("命令操作"));
    DelectList->setText(tr("删除"));
    DelectAll->setText(tr("清空"));
    if (m_shownMoving)
        frame2.Label15->setText(motionStateCaption(*m_shownMoving));
    ui.captureButton->setText(m_capture->isActive() ? tr("停止捕获") : tr("开始捕获…"));
    showPortDevice();
    showExchangeStatus();
    fillExchangeFilter();
    setConfigDiffHeaders();
    refreshHeaders(m_exchangeLog);
    refreshHeaders(m_scanResults);
    m_motionChart->retranslate();
    for (LazyPage *page : std::as_const(m_pages))
        page->languageChanged();
}

void FrmMain::fillExchangeFilter()
{
    const QSignalBlocker block(ui.exchangeFilter);
    const int chosen = qMax(ui.exchangeFilter->currentIndex(), 0);
    ui.exchangeFilter->clear();
    ui.exchangeFilter->addItem(tr("全部"), -1);
    for (const Verdict verdict : {Verdict::Good, Verdict::BadCheck, Verdict::Exception,
                                  Verdict::Timeout, Verdict::Unexpected, Verdict::NoReply}) {
        ui.exchangeFilter->addItem(
                verdict == Verdict::Exception ? tr("异常") : verdictText(verdict), int(verdict));
    }
    ui.exchangeFilter->setCurrentIndex(chosen);
}

void FrmMain::setConfigDiffHeaders()
{
    m_configDiff->setHorizontalHeaderLabels(
            {tr("站号"), tr("项目"), tr("文件"), tr("控制器"), tr("结果")});
}

#pragma once
// The presentation recording window's content: the page-lesson window (RecordWhiteboardWidget)
// on the slide show's board (PptContainer), whose pages are the slides. Records the slides as
// the agent rendered them with the ink over them into a new clip inserted at the editor's
// playhead, and starts a further clip (titled "第N页") at every slide change. "开始" pressed
// before the first slide is there starts the recording once it is; a slide turned to before
// its picture came is shown (and its clip started) when it comes. Page Down/Up and the arrow
// keys turn the slides, as a presenter's remote does. Lives in a BaseWindow; main thread only.
#include "core/project/avdata.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"

class PptContainer;

class RecordPptWidget : public RecordWhiteboardWidget
{
    Q_OBJECT
public:
    explicit RecordPptWidget(QWidget *parent = nullptr);
    ~RecordPptWidget() override;

    // Opens the presentation; the recording goes into the project at `offset` ms into
    // `clip` (what ProjectData::clipAt gives for the playhead); a negative offset appends.
    bool openPptFile(const QString &path, const AVData &clip, qint64 offset);

    PptContainer *container() const { return m_container; }
    int pageNo() const;

protected:
    QString pageTitle(int pageNo) const override;
    QString recordingFileName() const override;
    bool readyToRecord() override;
    bool pageReady(int pageNo) override;
    void pageShown(int pageNo) override;

private:
    RecordPptWidget(PptContainer *container, QWidget *parent);

    PptContainer *m_container = nullptr;
    QString m_pptName;
    bool m_startWhenInPlace = false;  // "开始" was pressed before the slides were in place
    int m_pendingPage = 0;            // turned to before its picture came
};

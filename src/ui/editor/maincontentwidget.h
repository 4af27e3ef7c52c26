#pragma once
// The editor: the content of the editor's frame window. File menu, record buttons, preview,
// edit toolbar and timeline; the one place where project-level actions are wired (new, open,
// save, save as, export, settings, record screen, record slide show, import, delete a span,
// find and cut pauses, undo and redo). It answers the frame's close query.
//
// The file actions live in maincontentwidgetfile.cpp, the edits in maincontentwidgetedit.cpp,
// the pauses in maincontentwidgetpauses.cpp,
// and the actions that open other windows (recording, slide show, export, settings) in
// ui/app/windowactions.cpp.
//
// Main thread only. Opening, saving and importing run on workers of SaveOpenManager and
// AvDatasManager and come back through queued signals.
#include "core/media/pausefinder.h"
#include "ui/base/basewindowinterface.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <functional>

class AVData;
class AvDatasManager;
class BaseWindow;
class CommonPromptWindow;
class CommonSuccessWindow;
class LoaddingView;
class MaskForm;
class PauseFinder;
class PlayHelper;
class ProjectFolderKeeper;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class QUndoStack;
class SaveOpenManager;
class VlcWidgetVideo;
class WidgetComposition;

class MainContentWidget : public QWidget, public BaseWindowInterface
{
    Q_OBJECT
public:
    explicit MainContentWidget(QWidget *parent = nullptr);
    ~MainContentWidget() override;

    // Opens a packed project file into the editor; a file that cannot be opened leaves a new,
    // empty project and says "打开失败！". `unpacking`, when given, is a manager already
    // unpacking `path` (started before the editor was built); the editor takes it over.
    void openProFile(const QString &path, SaveOpenManager *unpacking = nullptr);
    void saveProject(const QString &path, bool saveAs);
    // Brings the timeline and the preview up to the project's clip list; a change of a
    // non-empty list becomes one undo step. `clear` starts over (new or opened project).
    // `indexOnDisk`: the folder already holds the index of this list (a project just opened),
    // so writing it again waits until the view is up.
    void updateView(bool clear, bool indexOnDisk = false);
    void refreshFromProject();

    bool preCloseWindow() override;

    // Parts of the window, for the frame and for tests that drive it like a person.
    struct Ui
    {
        QWidget *view_menu_bar = nullptr;
        QToolButton *btn_file = nullptr;
        QFrame *line = nullptr;
        QToolButton *btn_record_ppt = nullptr;
        QToolButton *btn_record_screen = nullptr;
        QToolButton *btn_record_white_board = nullptr;
        QWidget *view_content = nullptr;
        QWidget *view_blank_prompt = nullptr;
        QLabel *label_blank_icon = nullptr;
        QLabel *label_record_ppt = nullptr;
        QLabel *label_blank_prompt = nullptr;
        VlcWidgetVideo *view_vlc = nullptr;
        QWidget *view_tools_bar = nullptr;
        QToolButton *btn_undo = nullptr;
        QToolButton *btn_redo = nullptr;
        QToolButton *btn_delete = nullptr;
        QToolButton *btn_import = nullptr;
        QToolButton *btn_find_pauses = nullptr;
        QLabel *label_pauses = nullptr;
        QToolButton *btn_delete_pauses = nullptr;
        QFrame *line_2 = nullptr;
        QToolButton *btn_zoom_out = nullptr;
        QSlider *slider_zoom = nullptr;
        QToolButton *btn_zoom_in = nullptr;
        QWidget *view_time_axis = nullptr;
        QWidget *view_time_axis_left = nullptr;
        QPushButton *btn_play_stop = nullptr;
        QFrame *frame_time_line_area = nullptr;
        WidgetComposition *composition = nullptr;
    };
    const Ui &ui() const { return m_ui; }
    QUndoStack *undoStack() const { return m_undoStack; }
    AvDatasManager *avDatasManager() const { return m_avDatasManager; }
    PlayHelper *playHelper() const { return m_playHelper; }
    PauseFinder *pauseFinder() const { return m_pauseFinder; }
    QMenu *pauseMenu() const { return m_pauseMenu; }
    CommonPromptWindow *promptWindow() const { return m_promptWindow; }
    CommonSuccessWindow *successWindow() const { return m_successWindow; }
    LoaddingView *loaddingView() const { return m_loaddingView; }
    QSize maxVideoSize() const { return m_maxVideoSize; }

    // Where the video widget goes for a clip of `videoSize` when the largest clip is
    // `maxVideoSize`, inside an area of `areaSize`; an empty rectangle when it is hidden.
    static QRect videoRect(QSize videoSize, QSize maxVideoSize, QSize areaSize);

signals:
    void sig_SaveProFinished(bool sucess);

public slots:
    void slotMenuNew();
    void slotMenuOpen();
    void slotMenuSave();
    void slotMenuSaveAs();
    void slotMenuExport();
    void slotMenuSetting();
    void on_btn_record_screen_clicked();
    void on_btn_record_ppt_clicked();
    void on_btn_record_white_board_clicked();
    void updateVlcViewSize();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
    void buildFileMenu();
    void connectParts();
    // A flat button with `icon` in a square of `iconSide`, the button itself `side` square;
    // `text` is also its tool tip.
    QToolButton *makeToolButton(QWidget *parent, const QString &objectName, const QString &icon,
                                const QString &text, int iconSide, int side);
    // Stops the preview and puts the play button back to "播放".
    void stopPlayback();
    void onPlayStopClicked(bool checked);
    void deleteSelectedRange();
    void importVideo();
    void onImportFinished(bool result, const QString &showText);
    // The pauses (maincontentwidgetpauses.cpp).
    void setUpPauses();
    void findPauses();
    // Marks the pauses found that are on the timeline now, with their count and total.
    void showPauses();
    // A new or opened project: no search runs and no marks show.
    void forgetPauses();
    void keepPause(int index);
    void playPause(int index);
    void deleteAllPauses();
    // "1分48秒", "12秒".
    static QString pauseLengthText(qint64 ms);
    // Asks whether to save a modified project first. Gives true when the caller goes on now;
    // on "是" the save starts and `afterSave` runs once it has succeeded.
    bool askSaveThen(const std::function<void()> &afterSave);
    void newProject();
    void chooseAndOpenFile();
    // Makes the project's cover picture on a worker, then runs `then` (if any) on the main
    // thread.
    void recreateCover(const std::function<void()> &then = {});
    // Drops a step waiting for the end of a save (the save did not start).
    void dropPendingAfterSave();
    void showPrompt(const QString &text, qint64 maximum);
    void placePopups();
    void onRecordFinished(int delayMs);
    // A recording window (the screen selection, the screen recording or the slide show)
    // writes into this project, a save reads it and an open replaces it: while one is open
    // or running, the editor takes no edits and does not close, so that the project and its
    // folder stay as they are under them.
    void watchRecordingWindow(QWidget *window);
    void updateLock();
    // The timeline and the first picture of a project whose media are still being unpacked;
    // the editor stays locked until the open ends.
    void showOpeningProject(const QList<AVData> &clips, const QImage &cover);
    // The size the preview keeps for the largest of `clips`.
    void takeMaxVideoSize(const QList<AVData> &clips);
    // Sets one of the busy flags (m_saving, m_opening) and the lock with it.
    void setBusy(bool &flag, bool busy);
    // Says why the editor cannot close now, if it cannot (true).
    bool refuseWhileBusy();

    Ui m_ui;
    QMenu *m_fileMenu = nullptr;
    QUndoStack *m_undoStack = nullptr;
    AvDatasManager *m_avDatasManager = nullptr;
    PlayHelper *m_playHelper = nullptr;
    PauseFinder *m_pauseFinder = nullptr;
    QMenu *m_pauseMenu = nullptr;
    // The pauses of the last search, less those kept, as spans of the media files.
    QList<pauses::Pause> m_foundPauses;
    bool m_pausesFound = false;
    int m_menuMark = -1;             // the mark the pause menu is for
    qint64 m_playPauseUntilMs = -1;  // playing a mark: where it stops
    ProjectFolderKeeper *m_folderKeeper = nullptr;
    QIcon m_undoIcon, m_undoDisableIcon, m_redoIcon, m_redoDisableIcon;
    QPointer<BaseWindow> m_pptWindow;
    QPointer<QWidget> m_recordWindow;
    bool m_saving = false;
    bool m_opening = false;
    MaskForm *m_mask = nullptr;
    LoaddingView *m_loaddingView = nullptr;
    CommonPromptWindow *m_promptWindow = nullptr;
    CommonSuccessWindow *m_successWindow = nullptr;
    QMetaObject::Connection m_afterSave;
    QSize m_videoSize{-1, -1};
    QSize m_maxVideoSize{-1, -1};
    // Writes the index of an edited project once the edits pause (updateView(false)).
    QTimer *m_indexTimer = nullptr;
    // Shows the progress of an open that is still unpacking a while after its project shows.
    QTimer *m_openProgressTimer = nullptr;
    qint64 m_openProgressMax = 0;
};

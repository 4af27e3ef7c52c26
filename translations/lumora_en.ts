<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AvDatasManager</name>
    <message>
        <source>操作成功</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>操作失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>正在插入...</source>
        <translation>Inserting...</translation>
    </message>
</context>
<context>
    <name>BaseMainWidget</name>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximize</translation>
    </message>
    <message>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>BoardSettingPopup</name>
    <message>
        <source>颜色</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>粗细</source>
        <translation>Width</translation>
    </message>
</context>
<context>
    <name>BoardToolsWidget</name>
    <message>
        <source>画笔</source>
        <translation>Pen</translation>
    </message>
    <message>
        <source>画笔设置</source>
        <translation>Pen settings</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>橡皮擦</source>
        <translation>Eraser</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>直线</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>箭头</source>
        <translation>Arrow</translation>
    </message>
    <message>
        <source>矩形</source>
        <translation>Rectangle</translation>
    </message>
    <message>
        <source>椭圆</source>
        <translation>Ellipse</translation>
    </message>
    <message>
        <source>荧光笔</source>
        <translation>Highlighter</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>激光笔</source>
        <translation>Laser</translation>
    </message>
</context>
<context>
    <name>CameraControl</name>
    <message>
        <source>没有找到摄像头</source>
        <translation>No camera found</translation>
    </message>
    <message>
        <source>正在打开摄像头...</source>
        <translation>Opening the camera...</translation>
    </message>
    <message>
        <source>无法打开摄像头：%1</source>
        <translation>Cannot open the camera: %1</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>是否不带摄像头开始录制？</source>
        <translation>Start recording without the camera?</translation>
    </message>
    <message>
        <source>不带摄像头录制</source>
        <translation>Record without camera</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CameraFeed</name>
    <message>
        <source>PipeWire 服务中没有摄像头，也没有找到 /dev/video 设备。</source>
        <translation>The PipeWire service has no camera, and no /dev/video device was found.</translation>
    </message>
    <message>
        <source>PipeWire 服务中没有摄像头，/dev/video 设备也都不能打开或不能拍摄。</source>
        <translation>The PipeWire service has no camera, and none of the /dev/video devices can be opened or capture pictures.</translation>
    </message>
    <message>
        <source>没有运行 PipeWire 服务，也没有找到 /dev/video 设备。</source>
        <translation>No PipeWire service is running, and no /dev/video device was found.</translation>
    </message>
    <message>
        <source>没有运行 PipeWire 服务，/dev/video 设备也都不能打开或不能拍摄。</source>
        <translation>No PipeWire service is running, and none of the /dev/video devices can be opened or capture pictures.</translation>
    </message>
    <message>
        <source>找不到这个摄像头。</source>
        <translation>This camera cannot be found.</translation>
    </message>
    <message>
        <source>摄像头已断开。</source>
        <translation>The camera was disconnected.</translation>
    </message>
    <message>
        <source>无法打开摄像头：%1</source>
        <translation>Cannot open the camera: %1</translation>
    </message>
    <message>
        <source>摄像头 3 秒内没有送来画面。</source>
        <translation>The camera sent no picture within 3 seconds.</translation>
    </message>
    <message>
        <source>摄像头正被其他程序使用。</source>
        <translation>The camera is being used by another program.</translation>
    </message>
    <message>
        <source>与 PipeWire 服务的连接已断开。</source>
        <translation>The connection to the PipeWire service was lost.</translation>
    </message>
    <message>
        <source>没有 PipeWire 服务。</source>
        <translation>There is no PipeWire service.</translation>
    </message>
    <message>
        <source>没有使用摄像头的权限。</source>
        <translation>No permission to use the camera.</translation>
    </message>
</context>
<context>
    <name>CameraSettingsWidget</name>
    <message>
        <source>摄像头</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>录制时显示摄像头</source>
        <translation>Show the camera while recording</translation>
    </message>
    <message>
        <source>形状</source>
        <translation>Shape</translation>
    </message>
    <message>
        <source>圆形</source>
        <translation>Circle</translation>
    </message>
    <message>
        <source>圆角矩形</source>
        <translation>Rounded rectangle</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>小</source>
        <translation>Small</translation>
    </message>
    <message>
        <source>中</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>大</source>
        <translation>Large</translation>
    </message>
    <message>
        <source>镜像</source>
        <translation>Mirror</translation>
    </message>
    <message>
        <source>录像中也镜像</source>
        <translation>Mirror in the recording too</translation>
    </message>
    <message>
        <source>录制时可以拖动摄像头画面到任意位置，滚动鼠标滚轮改变大小。</source>
        <translation>While recording, drag the camera anywhere; turn the mouse wheel to change its size.</translation>
    </message>
    <message>
        <source>正在查找摄像头...</source>
        <translation>Looking for cameras...</translation>
    </message>
    <message>
        <source>没有找到摄像头</source>
        <translation>No camera found</translation>
    </message>
    <message>
        <source>正在打开摄像头...</source>
        <translation>Opening the camera...</translation>
    </message>
    <message>
        <source>无法打开摄像头：%1</source>
        <translation>Cannot open the camera: %1</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>显示本帮助并退出。</source>
        <translation>Show this help and exit.</translation>
    </message>
    <message>
        <source>显示版本并退出。</source>
        <translation>Show the version and exit.</translation>
    </message>
    <message>
        <source>由出错的程序启动：告知用户程序出错了，
&lt;报告文件&gt; 为它写下的错误报告。</source>
        <translation>Started by a copy that crashed: tells the user that the program failed;
&lt;report file&gt; is the report it wrote.</translation>
    </message>
    <message>
        <source>报告文件</source>
        <translation>report file</translation>
    </message>
    <message>
        <source>Lumora录课：录制与编辑课程。</source>
        <translation>Lumora Record: record and edit lectures.</translation>
    </message>
    <message>
        <source>要打开的课件 (*.lsn)。</source>
        <translation>The lecture to open (*.lsn).</translation>
    </message>
    <message>
        <source>[课件.lsn]</source>
        <translation>[lecture.lsn]</translation>
    </message>
    <message>
        <source>用法：%1 [选项] [课件.lsn]
</source>
        <translation>Usage: %1 [options] [lecture.lsn]
</translation>
    </message>
    <message>
        <source>不带选项时打开程序窗口；给出课件时在编辑器中打开它。
同一时间只运行一个程序窗口。
</source>
        <translation>Without options, opens the program&apos;s window; with a lecture, opens it in the editor.
One program window runs at a time.
</translation>
    </message>
    <message>
        <source>选项：</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>参数：</source>
        <translation>Arguments:</translation>
    </message>
    <message>
        <source>课件.lsn</source>
        <translation>lecture.lsn</translation>
    </message>
    <message>
        <source>要打开的课件文件。</source>
        <translation>The lecture file to open.</translation>
    </message>
    <message>
        <source>退出状态：</source>
        <translation>Exit status:</translation>
    </message>
    <message>
        <source>成功；窗口正常关闭；另一个程序已在运行时，提示后退出。</source>
        <translation>success; the window was closed normally; another copy was running (after saying so).</translation>
    </message>
    <message>
        <source>命令行有误，或课件无法打开、读取或导出；
标准错误上有一行说明。</source>
        <translation>a wrong command line, or a lecture that could not be opened, read or exported;
one line on standard error says why.</translation>
    </message>
    <message>
        <source>导出被 Ctrl-C 或 SIGTERM 取消，输出文件已删除。</source>
        <translation>the export was cancelled by Ctrl-C or SIGTERM; the output file was removed.</translation>
    </message>
    <message>
        <source>128+信号</source>
        <translation>128+signal</translation>
    </message>
    <message>
        <source>程序出错崩溃：先写下错误报告 testcrash.log，
再因同一信号结束。</source>
        <translation>the program crashed: it wrote the report testcrash.log first,
then ended with the same signal.</translation>
    </message>
    <message>
        <source>文件：</source>
        <translation>Files:</translation>
    </message>
    <message>
        <source>设置。安装后的程序放在 ~/.config/lumora/
（或 $XDG_CONFIG_HOME/lumora/）。</source>
        <translation>Settings. An installed program keeps them in ~/.config/lumora/
(or $XDG_CONFIG_HOME/lumora/).</translation>
    </message>
    <message>
        <source>data/、testcrash.log、dump/</source>
        <translation>data/, testcrash.log, dump/</translation>
    </message>
    <message>
        <source>课件的工作文件夹和错误报告。安装后的程序放在
~/.local/share/lumora/（或 $XDG_DATA_HOME/lumora/）。</source>
        <translation>Working folders of lectures and crash reports. An installed program keeps them in
~/.local/share/lumora/ (or $XDG_DATA_HOME/lumora/).</translation>
    </message>
    <message>
        <source>课件封面等缓存。安装后的程序放在 ~/.cache/lumora/
（或 $XDG_CACHE_HOME/lumora/）。</source>
        <translation>Cached covers and slides. An installed program keeps them in ~/.cache/lumora/
(or $XDG_CACHE_HOME/lumora/).</translation>
    </message>
    <message>
        <source>从可写的程序文件夹（构建目录或便携副本）运行时，这些都在程序文件夹中。
</source>
        <translation>Run from a writable program folder (a build tree or a portable copy), all of these are in the program folder.
</translation>
    </message>
    <message>
        <source>未知选项：%1</source>
        <translation>Unknown option: %1</translation>
    </message>
    <message>
        <source>选项 %1 缺少参数</source>
        <translation>Option %1 needs an argument</translation>
    </message>
    <message>
        <source>选项 %1 不带参数</source>
        <translation>Option %1 takes no argument</translation>
    </message>
    <message>
        <source>命令行有误</source>
        <translation>Wrong command line</translation>
    </message>
    <message>
        <source>%1。运行 lumora_record --help 查看用法。</source>
        <translation>%1. Run lumora_record --help for the usage.</translation>
    </message>
    <message>
        <source>以一个 JSON 数组输出课件中的片段。
不需要显示器，不写任何文件。</source>
        <translation>Prints the clips of a lecture as one JSON array.
Needs no display and writes no file.</translation>
    </message>
    <message>
        <source>把课件导出为一个 MP4 文件。不需要显示器；
在终端上显示进度，按 Ctrl-C 取消。</source>
        <translation>Exports a lecture as one MP4 file. Needs no display;
shows the progress on a terminal; Ctrl-C cancels.</translation>
    </message>
    <message>
        <source>&lt;输出.mp4&gt;</source>
        <translation>&lt;output.mp4&gt;</translation>
    </message>
    <message>
        <source>导出时把声音统一到这个响度（EBU R128，
默认 -16 LUFS）。</source>
        <translation>When exporting, bring the sound to this loudness (EBU R128,
default -16 LUFS).</translation>
    </message>
    <message>
        <source>导出时保留声音原来的响度。</source>
        <translation>When exporting, keep the sound at its own loudness.</translation>
    </message>
</context>
<context>
    <name>ExportCommand</name>
    <message>
        <source>片段文件名无效：%1</source>
        <translation>Invalid clip file name: %1</translation>
    </message>
    <message>
        <source>项目中没有片段</source>
        <translation>The project has no clips</translation>
    </message>
    <message>
        <source>导出失败：%1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <source>无法打开文件 %1</source>
        <translation>Cannot open the file %1</translation>
    </message>
    <message>
        <source>无法创建临时文件夹</source>
        <translation>Cannot create a temporary folder</translation>
    </message>
    <message>
        <source>无法打开课件文件 %1：%2</source>
        <translation>Cannot open the lecture file %1: %2</translation>
    </message>
    <message>
        <source>导出 %1%  已用 %2  剩余 %3</source>
        <translation>Exporting %1%  elapsed %2  left %3</translation>
    </message>
    <message>
        <source>已导出：%1</source>
        <translation>Exported: %1</translation>
    </message>
    <message>
        <source>已取消导出</source>
        <translation>Export cancelled</translation>
    </message>
    <message>
        <source>--loudness 和 --no-loudness 不能同时使用</source>
        <translation>--loudness and --no-loudness cannot be used together</translation>
    </message>
    <message>
        <source>--loudness 的值应是 %1 到 %2 之间的数（LUFS），而不是“%3”</source>
        <translation>--loudness takes a number from %1 to %2 (LUFS), not &quot;%3&quot;</translation>
    </message>
    <message>
        <source>用法：lumora_record --export 课件文件.lsn 输出文件.mp4 [--loudness LUFS | --no-loudness]</source>
        <translation>Usage: lumora_record --export lecture.lsn output.mp4 [--loudness LUFS | --no-loudness]</translation>
    </message>
</context>
<context>
    <name>ExportDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>暂无封面</source>
        <translation>No cover yet</translation>
    </message>
    <message>
        <source>视频名称</source>
        <translation>Video name</translation>
    </message>
    <message>
        <source>导出至</source>
        <translation>Export to</translation>
    </message>
    <message>
        <source>浏览</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>导出至云盘</source>
        <translation>Export to the cloud</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Length</translation>
    </message>
    <message>
        <source> 取消</source>
        <translation> Cancel</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1分%2秒</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>时长：%1</source>
        <translation>Length: %1</translation>
    </message>
    <message>
        <source>未命名</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>视频名称为空</source>
        <translation>The video name is empty</translation>
    </message>
    <message>
        <source>视频路径为空</source>
        <translation>The video folder is empty</translation>
    </message>
    <message>
        <source>请检查视频路径是否合法</source>
        <translation>Please check that the video folder is valid</translation>
    </message>
    <message>
        <source>请检查视频名称是否合法</source>
        <translation>Please check that the video name is valid</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>文件已存在，是否覆盖？</source>
        <translation>The file exists. Replace it?</translation>
    </message>
    <message>
        <source>无法覆盖已有的文件：%1</source>
        <translation>Cannot replace the existing file: %1</translation>
    </message>
    <message>
        <source>统一音量</source>
        <translation>Even volume</translation>
    </message>
    <message>
        <source>人声 %1 LUFS，峰值不超过 %2 dBTP</source>
        <translation>Voice at %1 LUFS, peaks at most %2 dBTP</translation>
    </message>
</context>
<context>
    <name>ExportManager</name>
    <message>
        <source>无法读取片段“%1”的文件</source>
        <translation>Cannot read the file of the clip &quot;%1&quot;</translation>
    </message>
    <message>
        <source>片段“%1”的文件没有画面</source>
        <translation>The file of the clip &quot;%1&quot; has no picture</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>片段“%1”所用的时段不在它的文件之内（文件长 %2 秒）</source>
        <translation>The span of the clip &quot;%1&quot; lies outside its file (the file is %2 s long)</translation>
    </message>
    <message>
        <source>项目中没有可导出的内容</source>
        <translation>The project has nothing to export</translation>
    </message>
    <message>
        <source>无法创建导出文件：%1</source>
        <translation>Cannot create the export file: %1</translation>
    </message>
    <message>
        <source>无法复制片段“%1”的文件</source>
        <translation>Cannot copy the file of the clip &quot;%1&quot;</translation>
    </message>
    <message>
        <source>无法写入导出文件：%1</source>
        <translation>Cannot write the export file: %1</translation>
    </message>
    <message>
        <source>磁盘空间不足：%1</source>
        <translation>The disk is full: %1</translation>
    </message>
    <message>
        <source>视频编码失败</source>
        <translation>Video encoding failed</translation>
    </message>
    <message>
        <source>音频编码失败</source>
        <translation>Audio encoding failed</translation>
    </message>
    <message>
        <source>无法替换已有的文件：%1</source>
        <translation>Cannot replace the existing file: %1</translation>
    </message>
    <message>
        <source>片段“%1”的画面无法转换</source>
        <translation>The picture of the clip &quot;%1&quot; cannot be converted</translation>
    </message>
    <message>
        <source>片段“%1”的画面（%2×%3）大于项目记录的大小，导出画面只有 %4×%5</source>
        <translation>The picture of the clip &quot;%1&quot; (%2×%3) is larger than the project says; the export is only %4×%5</translation>
    </message>
    <message>
        <source>内存不足，无法导出片段“%1”</source>
        <translation>Out of memory: cannot export the clip &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>ExportProgressDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>导出至本地</source>
        <translation>Export to this computer</translation>
    </message>
    <message>
        <source>正在导出...</source>
        <translation>Exporting...</translation>
    </message>
    <message>
        <source>已用时:</source>
        <translation>Elapsed:</translation>
    </message>
    <message>
        <source>估计剩余时间:</source>
        <translation>Time left:</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>导出成功</source>
        <translation>Export finished</translation>
    </message>
    <message>
        <source>导出的文件不存在：%1</source>
        <translation>The exported file is missing: %1</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>导出失败</source>
        <translation>Export failed</translation>
    </message>
</context>
<context>
    <name>FirstWidget</name>
    <message>
        <source>登录</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Lumora录课</source>
        <translation>Lumora Record</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximize</translation>
    </message>
    <message>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
</context>
<context>
    <name>FirstWindow</name>
    <message>
        <source>Lumora录课</source>
        <translation>Lumora Record</translation>
    </message>
</context>
<context>
    <name>GlobalKeys</name>
    <message>
        <source>暂停/继续录制</source>
        <translation>Pause/continue recording</translation>
    </message>
    <message>
        <source>结束录制</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>打开/关闭画笔</source>
        <translation>Pen on/off</translation>
    </message>
    <message>
        <source>打开/关闭激光笔</source>
        <translation>Laser pointer on/off</translation>
    </message>
    <message>
        <source>清空画板</source>
        <translation>Clear the drawing</translation>
    </message>
    <message>
        <source>显示/隐藏摄像头</source>
        <translation>Show/hide the camera</translation>
    </message>
</context>
<context>
    <name>InfoCommand</name>
    <message>
        <source>文件中的文件数少于文件头所写的 %1 个</source>
        <translation>The file holds fewer than the %1 files its header names</translation>
    </message>
    <message>
        <source>项目索引 pro.lsnc 过大</source>
        <translation>The project index pro.lsnc is too large</translation>
    </message>
    <message>
        <source>文件中的文件数多于文件头所写的 %1 个</source>
        <translation>The file holds more than the %1 files its header names</translation>
    </message>
    <message>
        <source>缺少项目索引 pro.lsnc</source>
        <translation>The project index pro.lsnc is missing</translation>
    </message>
    <message>
        <source>无法打开文件</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>无法读取课件文件 %1：%2</source>
        <translation>Cannot read the lecture file %1: %2</translation>
    </message>
    <message>
        <source>用法：lumora_record --info 课件文件.lsn</source>
        <translation>Usage: lumora_record --info lecture.lsn</translation>
    </message>
</context>
<context>
    <name>KeysSettingsWidget</name>
    <message>
        <source>快捷键</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>录课窗口打开时，这些快捷键在任何窗口中都起作用。</source>
        <translation>While a recording window is open, these keys work in every window.</translation>
    </message>
    <message>
        <source>这个桌面不让程序接收其他窗口的按键：快捷键只在录课窗口有焦点时起作用。</source>
        <translation>This desktop does not let programs receive keys from other windows: the keys work only while the recording window has the focus.</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>%1 已被其他程序占用，录课时这个快捷键不起作用，请换一个。</source>
        <translation>%1 is held by another program and will not work while recording; please choose another key.</translation>
    </message>
    <message>
        <source>%1 不能用作快捷键：请按 Ctrl、Alt 或 Super 加一个字母、数字或 F1–F12。</source>
        <translation>%1 cannot be used: press Ctrl, Alt or Super with a letter, a digit or F1–F12.</translation>
    </message>
    <message>
        <source>%1 已用于“%2”。</source>
        <translation>%1 is already used for “%2”.</translation>
    </message>
    <message>
        <source>录课窗口打开时，桌面把这些快捷键交给本程序，在任何窗口中都起作用（桌面可能先请你确认）。</source>
        <translation>While a recording window is open, the desktop passes these keys to the program from every window (it may ask you to confirm them first).</translation>
    </message>
</context>
<context>
    <name>LanguageSettingsWidget</name>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>As the desktop</translation>
    </message>
    <message>
        <source>重新启动程序后生效</source>
        <translation>Takes effect when the program starts again</translation>
    </message>
</context>
<context>
    <name>LoaddingView</name>
    <message>
        <source>正在打开文件...</source>
        <translation>Opening the file...</translation>
    </message>
</context>
<context>
    <name>LsnFileIo</name>
    <message>
        <source>文件已截断</source>
        <translation>The file is cut short</translation>
    </message>
    <message>
        <source>文件中有损坏的压缩记录</source>
        <translation>The file has a damaged compressed record</translation>
    </message>
    <message>
        <source>不是课件文件</source>
        <translation>Not a lecture file</translation>
    </message>
    <message>
        <source>文件头中的文件数不合法</source>
        <translation>The file count in the header is invalid</translation>
    </message>
    <message>
        <source>文件头中的总大小不合法</source>
        <translation>The total size in the header is invalid</translation>
    </message>
    <message>
        <source>文件中有损坏的文件头</source>
        <translation>The file has a damaged member header</translation>
    </message>
    <message>
        <source>文件中有不合法的文件名：%1</source>
        <translation>The file has an invalid member name: %1</translation>
    </message>
    <message>
        <source>文件中有重复的文件名：%1</source>
        <translation>The file has a member name twice: %1</translation>
    </message>
    <message>
        <source>文件中有大小不合法的文件：%1</source>
        <translation>The file has a member of invalid size: %1</translation>
    </message>
    <message>
        <source>文件中缺少文件结束标记</source>
        <translation>A member end mark is missing</translation>
    </message>
    <message>
        <source>文件中有长度不合法的记录</source>
        <translation>The file has a record of invalid length</translation>
    </message>
</context>
<context>
    <name>LsnPacker</name>
    <message>
        <source>无法写入文件：%1</source>
        <translation>Cannot write the file: %1</translation>
    </message>
    <message>
        <source>有两个同名的文件：%1</source>
        <translation>Two files have the same name: %1</translation>
    </message>
    <message>
        <source>没有要保存的文件</source>
        <translation>There are no files to save</translation>
    </message>
    <message>
        <source>磁盘空间不足：%1</source>
        <translation>The disk is full: %1</translation>
    </message>
    <message>
        <source>不是文件：%1</source>
        <translation>Not a file: %1</translation>
    </message>
    <message>
        <source>无法读取文件：%1</source>
        <translation>Cannot read the file: %1</translation>
    </message>
    <message>
        <source>读取文件时出错：%1</source>
        <translation>Error while reading the file: %1</translation>
    </message>
    <message>
        <source>无法创建文件夹：%1</source>
        <translation>Cannot create the folder: %1</translation>
    </message>
    <message>
        <source>无法打开文件：%1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>无法替换文件夹：%1</source>
        <translation>Cannot replace the folder: %1</translation>
    </message>
    <message>
        <source>文件中的文件数少于文件头所写的 %1 个</source>
        <translation>The file holds fewer than the %1 files its header names</translation>
    </message>
    <message>
        <source>文件中的文件数多于文件头所写的 %1 个</source>
        <translation>The file holds more than the %1 files its header names</translation>
    </message>
</context>
<context>
    <name>MainContentWidget</name>
    <message>
        <source>正在打开文件...</source>
        <translation>Opening the file...</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>录制类容为空！</source>
        <translation>Nothing was recorded!</translation>
    </message>
    <message>
        <source>打开PPT文件</source>
        <translation>Open a presentation</translation>
    </message>
    <message>
        <source>PPT文件 (*.ppt *.pptx)</source>
        <translation>PowerPoint files (*.ppt *.pptx)</translation>
    </message>
    <message>
        <source>演示文稿 (*.ppt *.pptx *.pps *.ppsx *.odp *.pdf)</source>
        <translation>Presentations (*.ppt *.pptx *.pps *.ppsx *.odp *.pdf)</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>选择视频文件</source>
        <translation>Choose a video file</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>当前项目尚未保存，是否保存?</source>
        <translation>The project is not saved. Save it?</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>打开失败！</source>
        <translation>Opening failed!</translation>
    </message>
    <message>
        <source>正在保存...</source>
        <translation>Saving...</translation>
    </message>
    <message>
        <source>未命名.lsn</source>
        <translation>Untitled.lsn</translation>
    </message>
    <message>
        <source>保存课件</source>
        <translation>Save the lecture</translation>
    </message>
    <message>
        <source>课件文件(*.lsn)</source>
        <translation>Lecture files (*.lsn)</translation>
    </message>
    <message>
        <source>保存成功</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>保存失败！</source>
        <translation>Saving failed!</translation>
    </message>
    <message>
        <source>正在保存，请稍候！</source>
        <translation>Saving, please wait!</translation>
    </message>
    <message>
        <source>正在录制，请先结束录制！</source>
        <translation>Recording: please end the recording first!</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>录制PPT</source>
        <translation>Record slides</translation>
    </message>
    <message>
        <source>录制屏幕</source>
        <translation>Record screen</translation>
    </message>
    <message>
        <source>白板</source>
        <translation>Whiteboard</translation>
    </message>
    <message>
        <source>还没有内容：录制PPT、录制屏幕或导入视频</source>
        <translation>Nothing here yet: record slides, record the screen or import a video</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>导入视频</source>
        <translation>Import video</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>video files(*.avi *.mpg *.mp4 *.mov *.mkv *.webm *.m4v *.wmv *.flv);;所有文件 (*)</source>
        <translation>Video files (*.avi *.mpg *.mp4 *.mov *.mkv *.webm *.m4v *.wmv *.flv);;All files (*)</translation>
    </message>
    <message>
        <source>查找停顿</source>
        <translation>Find pauses</translation>
    </message>
    <message>
        <source>找出无声且画面不动的停顿</source>
        <translation>Find the spans where the voice is silent and the picture stands still</translation>
    </message>
    <message>
        <source>删除全部停顿</source>
        <translation>Delete all pauses</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1分%2秒</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>保留</source>
        <translation>Keep</translation>
    </message>
    <message>
        <source>正在查找停顿… %1%</source>
        <translation>Finding pauses… %1%</translation>
    </message>
    <message>
        <source>没有找到停顿</source>
        <translation>No pauses found</translation>
    </message>
    <message>
        <source>找到 %1 处停顿，共 %2</source>
        <translation>Found %1 pauses, %2 in all</translation>
    </message>
    <message>
        <source>已删除 %1 处停顿</source>
        <translation>Deleted %1 pauses</translation>
    </message>
</context>
<context>
    <name>PptContainer</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>打开ppt文件失败！</source>
        <translation>Opening the presentation failed!</translation>
    </message>
    <message>
        <source>找不到幻灯片放映程序 lumora_slide_agent，请重新安装 Lumora录课</source>
        <translation>The slide show program lumora_slide_agent is missing; please install Lumora Record again</translation>
    </message>
    <message>
        <source>正在准备幻灯片... %1秒</source>
        <translation>Preparing the slides... %1 s</translation>
    </message>
    <message>
        <source>文件无法打开：可能已损坏、设有密码或不是演示文稿</source>
        <translation>The file cannot be opened: it may be damaged, password-protected or not a presentation</translation>
    </message>
    <message>
        <source>未安装 LibreOffice，请先安装软件包 libreoffice-impress</source>
        <translation>LibreOffice is not installed; please install the package libreoffice-impress</translation>
    </message>
    <message>
        <source>转换演示文稿的时间过长</source>
        <translation>Converting the presentation took too long</translation>
    </message>
    <message>
        <source>幻灯片放映程序意外结束</source>
        <translation>The slide show program ended unexpectedly</translation>
    </message>
    <message>
        <source>幻灯片放映程序没有响应</source>
        <translation>The slide show program does not respond</translation>
    </message>
    <message>
        <source>第%1页无法显示</source>
        <translation>Slide %1 cannot be shown</translation>
    </message>
    <message>
        <source>幻灯片放映程序发来的内容有误</source>
        <translation>The slide show program sent something wrong</translation>
    </message>
</context>
<context>
    <name>ProjectFileDialog</name>
    <message>
        <source>打开课件</source>
        <translation>Open a lecture</translation>
    </message>
    <message>
        <source>课件文件(*.lsn)</source>
        <translation>Lecture files (*.lsn)</translation>
    </message>
</context>
<context>
    <name>ProjectIndex</name>
    <message>
        <source>项目索引 pro.lsnc 中的片段列表已损坏</source>
        <translation>The clip list in the project index pro.lsnc is damaged</translation>
    </message>
    <message>
        <source>缺少项目索引 pro.lsnc</source>
        <translation>The project index pro.lsnc is missing</translation>
    </message>
    <message>
        <source>项目索引 pro.lsnc 过大</source>
        <translation>The project index pro.lsnc is too large</translation>
    </message>
</context>
<context>
    <name>QItemWidget</name>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>录制类容为空！</source>
        <translation>Nothing was recorded!</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>未发现音频输入设备！是否不录声音继续录制？</source>
        <translation>No sound input device found! Record without sound?</translation>
    </message>
    <message>
        <source>不录声音继续</source>
        <translation>Record without sound</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>QRecentWidget</name>
    <message>
        <source>最近使用</source>
        <translation>Recent</translation>
    </message>
    <message>
        <source>暂无最近使用</source>
        <translation>No recent lectures</translation>
    </message>
</context>
<context>
    <name>RecordHealth</name>
    <message>
        <source>没有听到麦克风的声音，请检查麦克风</source>
        <translation>No sound from the microphone: please check it</translation>
    </message>
    <message>
        <source>磁盘空间不足，约可再录%1分钟</source>
        <translation>The disk is nearly full: about %1 more minutes can be recorded</translation>
    </message>
    <message>
        <source>磁盘空间即将用尽，录制已自动停止，已录内容已保存</source>
        <translation>The disk is about to fill: the recording was stopped and what was recorded is saved</translation>
    </message>
    <message>
        <source>磁盘空间不足，无法录制！</source>
        <translation>Not enough disk space to record!</translation>
    </message>
    <message>
        <source>电脑过于繁忙，有%1%的画面未能及时录下</source>
        <translation>The computer was too busy: %1% of the pictures could not be recorded in time</translation>
    </message>
    <message>
        <source>录制电脑声音</source>
        <translation>Recording the computer&apos;s sound</translation>
    </message>
    <message>
        <source>不录电脑声音</source>
        <translation>Not recording the computer&apos;s sound</translation>
    </message>
    <message>
        <source>麦克风断开，重连中…</source>
        <translation>Microphone lost, reconnecting…</translation>
    </message>
    <message>
        <source>电脑声音断开，重连中…</source>
        <translation>Computer sound lost, reconnecting…</translation>
    </message>
    <message>
        <source>麦克风已重新连接</source>
        <translation>Microphone reconnected</translation>
    </message>
    <message>
        <source>电脑声音已重新连接</source>
        <translation>Computer sound reconnected</translation>
    </message>
    <message>
        <source>改用麦克风：%1</source>
        <translation>Now recording: %1</translation>
    </message>
    <message>
        <source>%1录制继续，之后的录像中没有摄像头。</source>
        <translation>%1 Recording goes on without the camera from here.</translation>
    </message>
</context>
<context>
    <name>RecordPptWidget</name>
    <message>
        <source>第%1页</source>
        <translation>Slide %1</translation>
    </message>
    <message>
        <source>第%1页无法显示，录下的是这句提示</source>
        <translation>Slide %1 cannot be shown; this note is recorded instead</translation>
    </message>
    <message>
        <source>幻灯片放映程序多次意外结束，只能显示已准备好的页</source>
        <translation>The slide show program ended again and again; only the slides already prepared can be shown</translation>
    </message>
</context>
<context>
    <name>RecordScreenCtrlWidget</name>
    <message>
        <source>静音</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>End</translation>
    </message>
    <message>
        <source>录屏中 %1</source>
        <translation>Recording %1</translation>
    </message>
    <message>
        <source>解除静音</source>
        <translation>Unmute</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>桌面没有开启窗口合成，录屏时无法画笔标注。</source>
        <translation>The desktop has no compositing: the pen cannot draw while recording.</translation>
    </message>
    <message>
        <source>摄像头</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>显示或隐藏摄像头</source>
        <translation>Show or hide the camera</translation>
    </message>
</context>
<context>
    <name>RecordScreenWidget</name>
    <message>
        <source>正在录屏</source>
        <translation>Recording the screen</translation>
    </message>
    <message>
        <source>录屏%1.mp4</source>
        <translation>Screen recording %1.mp4</translation>
    </message>
</context>
<context>
    <name>RecordWhiteboardWidget</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>白板第%1页</source>
        <translation>Board page %1</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>正在录课 %1</source>
        <translation>Recording %1</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>解除静音</source>
        <translation>Unmute</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>End</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>新建页</source>
        <translation>New page</translation>
    </message>
    <message>
        <source>背景</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>白色</source>
        <translation>White</translation>
    </message>
    <message>
        <source>黑板</source>
        <translation>Chalkboard</translation>
    </message>
    <message>
        <source>网格</source>
        <translation>Grid</translation>
    </message>
    <message>
        <source>正在录课</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>第 %1 / %2 页</source>
        <translation>Page %1 / %2</translation>
    </message>
    <message>
        <source>摄像头</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>显示或隐藏摄像头</source>
        <translation>Show or hide the camera</translation>
    </message>
</context>
<context>
    <name>SaveOpenManager</name>
    <message>
        <source>无法写入项目索引：%1</source>
        <translation>Cannot write the project index: %1</translation>
    </message>
    <message>
        <source>无法写入文件：%1</source>
        <translation>Cannot write the file: %1</translation>
    </message>
    <message>
        <source>无法创建文件夹：%1</source>
        <translation>Cannot create the folder: %1</translation>
    </message>
    <message>
        <source>无法复制项目文件夹：%1</source>
        <translation>Cannot copy the project folder: %1</translation>
    </message>
    <message>
        <source>无法替换文件：%1</source>
        <translation>Cannot replace the file: %1</translation>
    </message>
    <message>
        <source>无法替换文件夹：%1</source>
        <translation>Cannot replace the folder: %1</translation>
    </message>
</context>
<context>
    <name>ScreenCastPortal</name>
    <message>
        <source>已取消录制：桌面没有允许共享屏幕。</source>
        <translation>Recording cancelled: the desktop did not allow the screen to be shared.</translation>
    </message>
    <message>
        <source>无法在 Wayland 桌面上录屏：没有找到桌面门户的屏幕共享接口。
请安装 xdg-desktop-portal 和桌面对应的门户软件包（GNOME：xdg-desktop-portal-gnome，KDE：xdg-desktop-portal-kde），然后重新登录。</source>
        <translation>Cannot record the screen on this Wayland desktop: the desktop portal&apos;s screen sharing was not found.
Install xdg-desktop-portal and the portal package of your desktop (GNOME: xdg-desktop-portal-gnome, KDE: xdg-desktop-portal-kde), then log in again.</translation>
    </message>
    <message>
        <source>无法在 Wayland 桌面上录屏：桌面门户出错（%1）。</source>
        <translation>Cannot record the screen on this Wayland desktop: the desktop portal failed (%1).</translation>
    </message>
</context>
<context>
    <name>ScreenCastSource</name>
    <message>
        <source>录制区域不在共享的屏幕上。
请在桌面的对话框中选择录制区域所在的屏幕，然后重新开始录制。</source>
        <translation>The recording area is not on the shared screen.
In the desktop&apos;s dialog choose the screen the area is on, then start the recording again.</translation>
    </message>
</context>
<context>
    <name>ScreenRecord</name>
    <message>
        <source>桌面停止了屏幕共享：从这里起录像只保留最后的画面。
请停止录制，然后重新开始。</source>
        <translation>The desktop stopped sharing the screen: from here on the recording keeps only the last picture.
Stop the recording, then start it again.</translation>
    </message>
    <message>
        <source>未发现音频输入设备！</source>
        <translation>No sound input device was found!</translation>
    </message>
    <message>
        <source>无法录制！</source>
        <translation>Cannot record!</translation>
    </message>
    <message>
        <source>打开麦克风出错！</source>
        <translation>The microphone could not be opened!</translation>
    </message>
    <message>
        <source>无法录制电脑声音！</source>
        <translation>The computer&apos;s sound cannot be recorded!</translation>
    </message>
</context>
<context>
    <name>ScreenSelectedButtonWidget</name>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>开始录制</source>
        <translation>Start recording</translation>
    </message>
</context>
<context>
    <name>SettingWidget</name>
    <message>
        <source>软件版本</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>声音</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>摄像头</source>
        <translation>Camera</translation>
    </message>
</context>
<context>
    <name>SlideAgent</name>
    <message>
        <source>无法连接到录课窗口：%1</source>
        <translation>Cannot reach the recording window: %1</translation>
    </message>
    <message>
        <source>无法打开演示文稿：%1</source>
        <translation>Cannot open the presentation: %1</translation>
    </message>
</context>
<context>
    <name>SlideConverter</name>
    <message>
        <source>转换演示文稿超时：%1</source>
        <translation>Converting the presentation took too long: %1</translation>
    </message>
    <message>
        <source>无法打开文件：%1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>文件不是演示文稿：%1</source>
        <translation>The file is not a presentation: %1</translation>
    </message>
    <message>
        <source>无法创建缓存文件夹：%1</source>
        <translation>Cannot create the cache folder: %1</translation>
    </message>
    <message>
        <source>未找到 LibreOffice，无法转换演示文稿</source>
        <translation>LibreOffice was not found: the presentation cannot be converted</translation>
    </message>
    <message>
        <source>无法启动 LibreOffice：%1</source>
        <translation>Cannot start LibreOffice: %1</translation>
    </message>
    <message>
        <source>无法转换演示文稿：%1</source>
        <translation>Cannot convert the presentation: %1</translation>
    </message>
    <message>
        <source>无法写入缓存：%1</source>
        <translation>Cannot write the cache: %1</translation>
    </message>
</context>
<context>
    <name>SoundSettings</name>
    <message>
        <source>所选麦克风已不可用，改用默认麦克风</source>
        <translation>The chosen microphone is gone: the default microphone is used</translation>
    </message>
</context>
<context>
    <name>SoundSettingsWidget</name>
    <message>
        <source>声音</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>麦克风</source>
        <translation>Microphone</translation>
    </message>
    <message>
        <source>同时录制电脑声音</source>
        <translation>Also record the computer&apos;s sound</translation>
    </message>
    <message>
        <source>把电脑播放的声音（视频、网页等）一起录进课程</source>
        <translation>Records what the computer plays (videos, web pages) into the lecture too</translation>
    </message>
    <message>
        <source>降噪</source>
        <translation>Noise reduction</translation>
    </message>
    <message>
        <source>减弱风扇、空调等持续的背景噪音</source>
        <translation>Lowers steady background noise such as fans and air conditioning</translation>
    </message>
    <message>
        <source>正在查找麦克风...</source>
        <translation>Looking for microphones...</translation>
    </message>
    <message>
        <source>未发现麦克风</source>
        <translation>No microphone found</translation>
    </message>
    <message>
        <source>%1（默认）</source>
        <translation>%1 (default)</translation>
    </message>
    <message>
        <source>最短停顿</source>
        <translation>Shortest pause</translation>
    </message>
    <message>
        <source>编辑器的“查找停顿”找出至少这么长、画面也不动的无声段落</source>
        <translation>The editor&apos;s “Find pauses” finds silent spans at least this long in which the picture stands still too</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>程序正在运行中,请勿重复打开</source>
        <translation>The program is already running; it cannot be opened twice</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>亲， 出错了，重新启动下吧！</source>
        <translation>Sorry, something went wrong. Please start the program again!</translation>
    </message>
    <message>
        <source>Lumora录课</source>
        <translation>Lumora Record</translation>
    </message>
    <message>
        <source>未命名</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>上次未保存的项目“%1”（%2 个片段）可以恢复，是否恢复？</source>
        <translation>The unsaved project &quot;%1&quot; (%2 clips) from last time can be recovered. Recover it?</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Recover</translation>
    </message>
    <message>
        <source>丢弃</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>正在恢复项目...</source>
        <translation>Recovering the project...</translation>
    </message>
    <message>
        <source>上次未保存的项目无法读取（%1），文件夹原样保留：%2</source>
        <translation>The unsaved project from last time cannot be read (%1); its folder is kept as it is: %2</translation>
    </message>
    <message>
        <source>项目中的录制文件都无法播放，无法恢复。</source>
        <translation>None of the project&apos;s recordings can be played: it cannot be recovered.</translation>
    </message>
</context>
<context>
    <name>VersionWidget</name>
    <message>
        <source>当前版本:V%1</source>
        <translation>Current version: V%1</translation>
    </message>
    <message>
        <source>软件版本</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>检查更新</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <source>正在检查更新...</source>
        <translation>Checking for updates...</translation>
    </message>
    <message>
        <source>Lumora录课已是最新版本</source>
        <translation>Lumora Record is up to date</translation>
    </message>
    <message>
        <source>检测有新版本</source>
        <translation>A new version is available</translation>
    </message>
    <message>
        <source>去更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>检查更新失败，请重试</source>
        <translation>The update check failed, please try again</translation>
    </message>
    <message>
        <source>没有可用的更新服务器，无法检查更新</source>
        <translation>No update server is set: updates cannot be checked</translation>
    </message>
</context>
</TS>

#pragma once

#include <string>

#include "base/code_page.h"
#include "base/text.h"

namespace velbrook {

// The fixed texts that the fetch and start commands show. They stand here in UTF-8, the source
// encoding; AnsiText gives them in GB18030, the encoding of every Text the window takes.
inline constexpr char kReadyCaption[] = "开始下载";
inline constexpr char kSongCountPrefix[] = "共采集到";
inline constexpr char kSongCountSuffix[] = "首歌";
inline constexpr char kProcessingPrefix[] = "正在处理【";
inline constexpr char kProcessingSuffix[] = "】";
inline constexpr char kClosingPrefix[] = "处理完毕 共有";
inline constexpr char kClosingSuffix[] = "条记录";
inline constexpr char kFolderBrowserTitle[] = "选择下载目录";
inline constexpr char kFinishedMessage[] = "下载完成！";
inline constexpr char kFailedCountPrefix[] = "其中";
inline constexpr char kFailedCountSuffix[] = "首下载失败";
inline constexpr char kProgressDonePrefix[] = "已下载：";
inline constexpr char kProgressTotalPrefix[] = "  总大小";

inline Text AnsiText(const char* utf8) { return Utf8ToText(utf8); }

}  // namespace velbrook

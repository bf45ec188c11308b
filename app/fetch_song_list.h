#pragma once

#include "base/text.h"

namespace velbrook {

class WindowOperations;

// The fetch command: requests the playlist page named by 编辑框1 from `playlistHost`, cuts the song
// array out of it and fills 列表框1 with one line per song ("artist - title", valued with the song's
// identifier). 标签2 then counts the songs and 按钮2 reads "开始下载". A page that cannot be
// fetched or holds no song array leaves the list empty. Gives the number of songs listed.
int FetchSongList(WindowOperations& window, const Text& playlistHost);

}  // namespace velbrook

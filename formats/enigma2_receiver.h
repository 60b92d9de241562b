#pragma once
// What a box sends beside its settings files, read with no I/O: which user bouquets its bouquet
// lists name (so that only those are fetched), and its web interface's answer to a reload.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The longest answer kvx takes from a box's web interface.
inline constexpr std::size_t ReloadAnswerMax = std::size_t{64} * 1024;

// The user bouquets a bouquet file names ("#SERVICE 1:7:...:FROM BOUQUET \"userbouquet.x.tv\" ORDER
// BY bouquet"), each once, appended to names where not there already. Only names the settings folder
// reader takes, without '/', '\' or "..": a name that would reach outside the folder is counted in
// refused and never fetched.
void bouquetFilesNamed(std::string_view bouquets, std::vector<std::string>& names, int& refused);

// The answer to /web/servicelistreload: true when its <e2state> is True. text is its
// <e2statetext>, or what the answer is when it has none.
bool readReloadAnswer(std::string_view answer, std::string& text);

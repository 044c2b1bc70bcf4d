// Every user-visible text, fetched by id from the language file with a
// default. A language file holds one text per line; line n is id n.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TextId {
    int id;
    std::string_view text;  // the default
};

namespace itext {
inline constexpr TextId File{0, "File"};
inline constexpr TextId Copy{1, "Copy"};
inline constexpr TextId WaitingForiPad{3, "Waiting For iPad"};
inline constexpr TextId Stop{4, "Stop"};
inline constexpr TextId SelectAll{5, "Select All"};
inline constexpr TextId InvertSelect{6, "Invert Select"};
inline constexpr TextId ClearSelect{7, "Clear Select"};
inline constexpr TextId SelectAlbums{8, "Select Albums"};
inline constexpr TextId Browse{9, "Browse..."};
inline constexpr TextId CheckUpdate{10, "Check Update"};
inline constexpr TextId Help{11, "Help"};
inline constexpr TextId Ok{13, "Ok"};
inline constexpr TextId Close{14, "Close"};
inline constexpr TextId PhotoLibrary{15, "Photo Library"};
inline constexpr TextId SavedPhotos{16, "Saved Photos"};
inline constexpr TextId BackupResolution{17, "backup resolution"};
inline constexpr TextId BackupPath{18, "backup path"};
inline constexpr TextId BackupFormat{19, "backup format"};
inline constexpr TextId RemindMeLater{20, "Remind Me Later"};
inline constexpr TextId ClickSavedPhotos{21, "Click 'Saved Photos' to get photo"};
inline constexpr TextId NoSavedPhotos{22, "No Image In Your iPad Saved Photos."};
inline constexpr TextId WaitingFor{23, "Waiting for"};
inline constexpr TextId NoLibraryPhotos{24, "No image in your iPad Photo Library"};
inline constexpr TextId ReadingPhotos{25, "Reading iPad photos"};
inline constexpr TextId PhotosInAlbum{26, "photos in album"};
inline constexpr TextId PhotosInSaved{27, "Photos in iPad Saved Photos."};
inline constexpr TextId Copying{28, "Copying"};
inline constexpr TextId Of{29, "of"};
inline constexpr TextId FilesLibrary{30, "files"};
inline constexpr TextId FilesSaved{30, "files."};
inline constexpr TextId Connected{31, "iPad connected, reading data..."};
inline constexpr TextId ConnectionLost{32, "iPad Connection Lost."};
inline constexpr TextId ConnectionLostBox{32, "iPad connection lost"};
inline constexpr TextId CopyFinished{33, "Copy Finished"};
inline constexpr TextId CopyTerminated{34, "Copy Terminated"};
inline constexpr TextId OpenDirectoryQuestion{36, "Copy finished, open directory?"};
inline constexpr TextId OpenDirectory{37, "Open Directory"};
inline constexpr TextId NothingSelected{57, "You Had Not Select Any Photo to Copy, Please Click Photos to Select."};
}  // namespace itext

// Lines of a language file: ends at CR LF, lone CR or lone LF; a last line
// without an end counts; a NUL ends the content; nothing else is changed.
std::vector<std::string> SplitLanguageLines(std::string_view content);

// Line `id` when it exists and is not empty, else the default.
std::string InterfaceText(const std::vector<std::string>& lines, int id, std::string_view defaultText);

// The list GetInterfaceText reads: the main window's, while it has one.
void SetInterfaceTextSource(const std::vector<std::string>* lines);
std::string GetInterfaceText(int id, std::string_view defaultText);
inline std::string GetInterfaceText(TextId t) { return GetInterfaceText(t.id, t.text); }

// A status text longer than 46 characters becomes its first 46 and "...".
inline constexpr std::size_t StatusTextLimit = 46;
std::string StatusText(std::string_view text);

inline constexpr std::size_t MaxLanguageFileSize = 1u << 20;

// ProgramFolder + code + ".lng": its lines, none when there is no such file.
// A file that is there but cannot be read throws.
std::string LanguageFilePath(std::string_view programFolder, std::string_view languageCode);
std::vector<std::string> LoadLanguageFile(std::string_view programFolder, std::string_view languageCode);

#pragma once
// What the command line asks of one run.

#include "core/book/Typeset.h"

#include <QSize>
#include <QString>
#include <QStringList>

namespace vel {

enum class StartMode {
    Window,    // the windows, optionally with one file loaded into the text panel
    Import,    // works added from files without any window
    List,      // the catalogue printed
    Audiobook, // a work's pages spoken into an audio file
    Contents,  // a work's contents printed
    Search,    // the hits of words in a work printed
    Opds,      // the books of an online catalogue printed
};

struct StartOptions {
    QString libraryDir; // the default folder unless --library DIR is given
    StartMode mode = StartMode::Window;
    // Import: the files to add, in order. Window: at most one file for the text panel. Search: the words.
    QStringList files;
    QString workTitle; // Contents, Search: the work
    QString title;                        // --title: instead of the one from the file's name
    QString author;                       // --author: likewise
    QSize screen{1024, 768};              // --screen: the screen the pages are cut for
    PageLayout layout = PageLayout::Book; // --layout: how the pages are set
    int jobs = 0;                         // --jobs: works cut at once; 0 = the number of cores
    // Audiobook: the work, its pages (all when firstPage is 0) and the file to write.
    QString audiobookTitle;
    int firstPage = 0;
    int lastPage = 0;
    QString outFile;
    // Opds: the catalogue page to start from and the words to search it for (none: walk it all).
    QString opdsUrl;
    QString searchWords;
    bool help = false;
    QString error; // a command line that could not be understood (Bulgarian / English)
};

} // namespace vel

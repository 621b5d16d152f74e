#pragma once

// The counts the status line shows for the active list; a list window supplies them.
struct ListCounts {
    bool responseList = false;
    long long folderTotal = 0;
    long long boxTotal = 0;
    long long listTotal = 0;
    long long unplayed = 0;
    long long played = 0;
};

#pragma once

class QDateTimeEdit;

// Date and time fields take typed digits only into a selected section: a click leaves a bare
// cursor inside "00", and a third digit there is refused, so only ↑/↓ or a double click seemed
// to work. After focus or a click the section under the cursor is selected, so "9", "09" or
// "2026" can be typed straight away.
void selectSectionOnEntry(QDateTimeEdit* edit);

#pragma once

class Database;

// What a practice database holds, as far as a first start cares.
struct PracticeContents {
    int chairs = 0;
    int treatments = 0;
    int dayRows = 0; // rows of Idealtag and Template

    static PracticeContents of(const Database& db); // one statement
    // Only the chairs and treatments, which a first start's guide asks for: without counting the large Template.
    static PracticeContents masterData(const Database& db);
    bool isEmpty() const { return chairs == 0 && treatments == 0 && dayRows == 0; }
};

// The bundled demo practice (four chairs, a dozen treatments, two ideal days), to try the program out.
class DemoPractice {
public:
    // Loads it in one transaction. False, with nothing written, when the database holds any day, chair
    // or treatment: the demo never mixes with a practice's own data.
    static bool load(const Database& db);
};

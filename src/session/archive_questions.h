#pragma once

#include <QString>

namespace halvo::session {

// What a download of new events asks the operator, through whoever owns the dialogs.
class ArchiveQuestions
{
public:
    enum class OnMismatch { ChooseAnother, AppendAnyway, Cancel };

    virtual ~ArchiveQuestions() = default;
    // Where this unit's new events are to go; empty when the operator cancelled.
    virtual QString chooseArchive() = 0;
    // The archive ends with a page the unit does not hold (text says whose it is).
    virtual OnMismatch anotherUnitsArchive(const QString &text) = 0;
};

} // namespace halvo::session

#pragma once

#include "imap/bodystructure.h"
#include "imap/email.h"
#include "imap/fetchresponse.h"

#include <optional>

// The values of a fetched message, as ReadEmail gives them for the whole of it. For a message
// fetched in parts, the headers that came with the parts tell which bodies the reader chooses;
// nullopt when they show a message the server reads otherwise, or a body that was not fetched:
// only the whole message can tell then.
std::optional<Email> ReadFetchedEmail(const FetchedMessage &fetched, const ReadingPlan &plan);

#pragma once

#include "net/curl_transfer.h"

namespace Code {

// The worker behind HttpRequest's `async` mode, which no part of the panel uses today (see
// http_request.h); it is kept so that mode keeps its promise of never outliving the process.
// Sends `request` from a detached worker thread and forgets the answer. At process exit, workers
// still waiting are told to stop and the exit waits briefly for them, so none of them runs into
// libraries that are being torn down.
void StartDetachedTransfer(PreparedRequest request, HttpLimits limits);

}  // namespace Code

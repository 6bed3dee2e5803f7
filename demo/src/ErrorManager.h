// How the program shows a data failure: a message box with the failure's own
// title and text.
#ifndef DEMO_ERRORMANAGER_H
#define DEMO_ERRORMANAGER_H

#include "demo/data/DataError.h"
#include "quillnet/hostservices.h"

namespace demo {

class ErrorManager {
public:
    explicit ErrorManager(quillnet::HostServices& host) : host_(host) {}

    // Shows the failure (nothing for no failure).
    void show(const demo::data::DataError& error) const;

    quillnet::HostServices& host() const { return host_; }

private:
    quillnet::HostServices& host_;
};

}  // namespace demo

#endif

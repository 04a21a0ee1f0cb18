// Where the About box's links lead: the project's web pages and mail
// addresses. A link whose address is empty is left out of the box, with
// its row's label when the whole row is empty. The project has no public
// address yet, so the box shows none: a link that leads nowhere real is
// worse than no link.
#pragma once

#include <string>

namespace tessaly {

struct MakerContacts {
    std::string webSite;        // host and path, without the scheme: "host/page"
    std::string secondWebSite;  // the project's issue tracker, in the same form
    std::string salesMail;
    std::string supportMail;
};

// This project's own addresses.
inline MakerContacts ProjectContacts() { return MakerContacts{}; }

}  // namespace tessaly

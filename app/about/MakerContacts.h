// The maker's web sites and e-mail addresses, as shown on the About box's
// links. Kept in this one place; they sit under the reserved example.org
// domain until the product has addresses of its own.
#pragma once

namespace tessaly {

constexpr const char* kMakerWebSite = "www.example.org";
constexpr const char* kMakerSecondWebSite = "downloads.example.org";
constexpr const char* kMakerSalesMail = "sales@example.org";
constexpr const char* kMakerSupportMail = "support@example.org";

}  // namespace tessaly

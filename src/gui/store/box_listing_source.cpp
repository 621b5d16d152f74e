#include "gui/store/box_listing_source.h"

#include "core/base/text.h"
#include "core/device/ftp_mng.h"
#include "gui/base/device_session.h"

BoxListingSource boxListingFrom(DeviceSession& session) {
    return [&session]() -> std::optional<voxmg::BoxListings> {
        FtpLease ftp = session.acquire();
        voxmg::BoxListing listing;
        if (!ftp || ftp->boxListing(listing) != voxmg::ListingResult::Listed) {
            return std::nullopt;
        }
        voxmg::BoxListings out;
        out.answerBoxes = voxmg::text::cp932FromUtf16(listing.answering);
        out.extensionBoxes = voxmg::text::cp932FromUtf16(listing.extension);
        out.root = voxmg::text::cp932FromUtf16(listing.root);
        return out;
    };
}

#pragma once

// Output of the real tools, in the layout they print it, for the fake
// runner and the parser tests.

namespace quillane::test::recorded {

// `snap list --all` on a desktop with rollback revisions kept.
inline constexpr const char *snapListAll =
    "Name                       Version                     Rev    Tracking         Publisher   Notes\n"
    "bare                       1.0                         5      latest/stable    canonical✓  base\n"
    "core20                     20240111                    2182   latest/stable    canonical✓  base,disabled\n"
    "core20                     20240227                    2264   latest/stable    canonical✓  base\n"
    "firefox                    123.0.1-1                   3836   latest/stable/…  mozilla✓    disabled\n"
    "firefox                    124.0-2                     3941   latest/stable/…  mozilla✓    -\n"
    "gnome-42-2204              0+git.510a601               141    latest/stable    canonical✓  disabled\n"
    "snapd                      2.61.2                      21184  latest/stable    canonical✓  snapd\n";

// `docker system df --format '{{json .}}'`.
inline constexpr const char *dockerSystemDf =
    R"j({"Active":"2","Reclaimable":"1.544GB (68%)","Size":"2.27GB","TotalCount":"7","Type":"Images"})j"
    "\n"
    R"j({"Active":"2","Reclaimable":"0B (0%)","Size":"63.5kB","TotalCount":"3","Type":"Containers"})j"
    "\n"
    R"j({"Active":"1","Reclaimable":"0B (0%)","Size":"188.9MB","TotalCount":"1","Type":"Local Volumes"})j"
    "\n"
    R"j({"Active":"0","Reclaimable":"3.821GB","Size":"3.821GB","TotalCount":"57","Type":"Build Cache"})j"
    "\n";

// `podman system df --format json`.
inline constexpr const char *podmanSystemDf = R"j([
 {
  "Type": "Images",
  "Total": 6,
  "Active": 2,
  "RawSize": 281014272,
  "RawReclaimable": 168247296,
  "TotalCount": 6,
  "Size": "281MB",
  "Reclaimable": "168MB (59%)"
 },
 {"Type": "Containers", "RawReclaimable": 0, "Reclaimable": "0B (0%)"}
]
)j";

// What docker says to a user outside the docker group.
inline constexpr const char *dockerDenied =
    "permission denied while trying to connect to the Docker daemon socket at unix:///var/run/docker.sock: "
    "Get \"http://%2Fvar%2Frun%2Fdocker.sock/v1.24/system/df\": dial unix /var/run/docker.sock: connect: "
    "permission denied\n";

} // namespace quillane::test::recorded

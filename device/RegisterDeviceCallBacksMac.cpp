// Device link: filled in by the device-link work.

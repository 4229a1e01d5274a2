// Hands the routing record to the interface. This build sends nothing: each
// call rewrites MyDeviceMixer, alternately all zero (first call) and a fixed
// one-wire routing from the first physical input to the third ASIO input.
#pragma once

void hw_sendFlexroute (void* unused);

#pragma once
// lumisaver --snapshot OUT.png [--entry N] [--at SECONDS] [--size WxH]
int RunSnapshot(int argc, char** argv);

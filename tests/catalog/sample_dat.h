// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

// One small DAT in both formats, and the ROM bytes it knows, for the catalog
// tests. Its hashes were taken with Python's zlib and hashlib, not with the
// code under test.
namespace kavo::catalog::testing {

// The bytes of the ROMs the DAT describes (and one it does not).
inline std::string romBytes(const std::string& piece, int times) {
  std::string bytes;
  for (int i = 0; i < times; ++i) bytes += piece;
  return bytes;
}
inline const std::string kSonicUsaEurope = romBytes("sonic usa europe", 64);  // 1,024 bytes
inline const std::string kSonicJapan = romBytes("sonic japan", 64);           // 704 bytes
inline const std::string kSonicBeta = romBytes("sonic beta", 64);             // 640 bytes
inline const std::string kBadGame = romBytes("bad game", 64);                 // 512 bytes
inline const std::string kCounting = "123456789";
// Of a size the DAT has (Sonic's Japanese one), but not its bytes.
inline const std::string kUnknownRom = romBytes("unknown rom", 64);

// Sonic's Japanese version is a clone of the USA/Europe one, and the beta a
// clone of the Japanese one, so all three are one game. Bad Game's only
// dump is bad, Counting Game has no SHA-1, Missing Game is in no folder of
// the tests, Tom & Jerry's ROM was never dumped.
inline const char* const kSampleXml = R"dat(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE datafile PUBLIC "-//Logiqx//DTD ROM Management Datafile//EN" "http://www.logiqx.com/Dats/datafile.dtd">
<datafile>
  <header>
    <name>Sega - Master System - Mark III</name>
    <description>Sega - Master System - Mark III (20260101)</description>
    <version>20260101</version>
  </header>
  <game name="Sonic the Hedgehog (USA, Europe)">
    <description>Sonic the Hedgehog (USA, Europe)</description>
    <rom name="Sonic the Hedgehog (USA, Europe).sms" size="1024" crc="a6b705af" md5="00" sha1="5fbf452447aa004d69cbad6ede2a88544ec63beb"/>
  </game>
  <game name="Sonic the Hedgehog (Japan)" cloneof="Sonic the Hedgehog (USA, Europe)">
    <description>Sonic the Hedgehog (Japan)</description>
    <rom name="Sonic the Hedgehog (Japan).sms" size="704" crc="DDB6677A" sha1="3BA87A3E0E65507FAE6B92F2C72DF65755422557"/>
  </game>
  <game name="Sonic the Hedgehog (USA) (Beta)" cloneof="Sonic the Hedgehog (Japan)">
    <description>Sonic the Hedgehog (USA) (Beta)</description>
    <rom name="Sonic the Hedgehog (USA) (Beta).sms" size="640" crc="653b760b" sha1="d1bc00d8bebd44e15f9225c673a0500e61cab69d"/>
  </game>
  <game name="Bad Game (Europe)">
    <description>Bad Game (Europe)</description>
    <rom name="Bad Game (Europe).sms" size="512" crc="280ee893" status="baddump"/>
  </game>
  <machine name="Counting Game (World)">
    <description>Counting Game (World)</description>
    <year>1990</year>
    <rom name="Counting Game (World).sms" size="9" crc="cbf43926"/>
  </machine>
  <game name="Missing Game (Europe)">
    <description>Missing Game (Europe)</description>
    <rom name="Missing Game (Europe).sms" size="2048" crc="12345678" sha1="0123456789abcdef0123456789abcdef01234567"/>
  </game>
  <game name="Tom &amp; Jerry (Europe)">
    <description>Tom &amp; Jerry (Europe)</description>
    <rom name="Tom &amp; Jerry (Europe).sms" size="131072" status="nodump"/>
  </game>
</datafile>
)dat";

inline const char* const kSampleCmpro = R"dat(clrmamepro (
	name "Sega - Master System - Mark III"
	description "Sega - Master System - Mark III (20260101)"
	version 20260101
)

game (
	name "Sonic the Hedgehog (USA, Europe)"
	description "Sonic the Hedgehog (USA, Europe)"
	rom ( name "Sonic the Hedgehog (USA, Europe).sms" size 1024 crc a6b705af md5 00 sha1 5fbf452447aa004d69cbad6ede2a88544ec63beb )
)

game (
	name "Sonic the Hedgehog (Japan)"
	description "Sonic the Hedgehog (Japan)"
	cloneof "Sonic the Hedgehog (USA, Europe)"
	rom ( name "Sonic the Hedgehog (Japan).sms" size 704 crc DDB6677A sha1 3BA87A3E0E65507FAE6B92F2C72DF65755422557 )
)

game (
	name "Sonic the Hedgehog (USA) (Beta)"
	description "Sonic the Hedgehog (USA) (Beta)"
	cloneof "Sonic the Hedgehog (Japan)"
	rom ( name "Sonic the Hedgehog (USA) (Beta).sms" size 640 crc 653b760b sha1 d1bc00d8bebd44e15f9225c673a0500e61cab69d )
)

game (
	name "Bad Game (Europe)"
	description "Bad Game (Europe)"
	rom ( name "Bad Game (Europe).sms" size 512 crc 280ee893 flags baddump )
)

machine (
	name "Counting Game (World)"
	description "Counting Game (World)"
	year 1990
	manufacturer ( name "Nobody" )
	rom ( name "Counting Game (World).sms" size 9 crc cbf43926 )
)

game (
	name "Missing Game (Europe)"
	description "Missing Game (Europe)"
	rom ( name "Missing Game (Europe).sms" size 2048 crc 12345678 sha1 0123456789abcdef0123456789abcdef01234567 )
)

game (
	name "Tom & Jerry (Europe)"
	description "Tom & Jerry (Europe)"
	rom ( name "Tom & Jerry (Europe).sms" size 131072 nodump )
)
)dat";

}  // namespace kavo::catalog::testing

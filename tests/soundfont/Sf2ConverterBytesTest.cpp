// The converter's output, byte for byte, over the banks of its fuzz corpus
// (broken ones included: their refusals must read the same too). The digest
// was last taken when instruments gained global zones and presets kept their
// ranges; a change meant to alter what the converter writes updates it on purpose.

#include "ConversionDigest.h"

#include <gtest/gtest.h>

TEST(Sf2Converter, OutputBytesStayAsTheyWere)
{
    const ConversionDigest result = DigestOfConversions(TAMBERLY_SF2_CORPUS);
    EXPECT_EQ(result.converted, 40) << "the corpus no longer converts as many banks and presets";
    EXPECT_EQ(result.digest, 0x4d34ee8f231ef07ull);
}

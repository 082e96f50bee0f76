#include "engine/Sha256.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/CpuFeatures.h"
#include "engine/tests/HashTestUtil.h"

namespace {

using HashTest::FromHex;
using HashTest::ToHex;

std::string Digest(const std::vector<std::uint8_t>& msg) {
  std::uint8_t d[Sha256DigestSize];
  Sha256(msg.data(), static_cast<std::int64_t>(msg.size()), d);
  return ToHex(d, sizeof d);
}

struct TShaVector {
  const char* message;  // hex
  const char* digest;
};

// FIPS 180-4 / the NIST "Cryptographic Standards and Guidelines" examples for
// SHA-256 (message given as text).
const struct {
  const char* text;
  const char* digest;
} kFipsExamples[] = {
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
     "mnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
};

// NIST SHAVS, SHA256ShortMsg.rsp (CAVS 11.0): every message of 0 to 64 bytes.
const TShaVector kShortMsg[] = {
    {"",
     "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"d3",
     "28969cdfa74a12c82f3bad960b0b000aca2ac329deea5c2328ebc6f2ba9802c1"},
    {"11af",
     "5ca7133fa735326081558ac312c620eeca9970d1e70a4b95533d956f072d1f98"},
    {"b4190e",
     "dff2e73091f6c05e528896c4c831b9448653dc2ff043528f6769437bc7b975c2"},
    {"74ba2521",
     "b16aa56be3880d18cd41e68384cf1ec8c17680c45a02b1575dc1518923ae8b0e"},
    {"c299209682",
     "f0887fe961c9cd3beab957e8222494abb969b1ce4c6557976df8b0f6d20e9166"},
    {"e1dc724d5621",
     "eca0a060b489636225b4fa64d267dabbe44273067ac679f20820bddc6b6a90ac"},
    {"06e076f5a442d5",
     "3fd877e27450e6bbd5d74bb82f9870c64c66e109418baa8e6bbcff355e287926"},
    {"5738c929c4f4ccb6",
     "963bb88f27f512777aab6c8b1a02c70ec0ad651d428f870036e1917120fb48bf"},
    {"3334c58075d3f4139e",
     "078da3d77ed43bd3037a433fd0341855023793f9afd08b4b08ea1e5597ceef20"},
    {"74cb9381d89f5aa73368",
     "73d6fad1caaa75b43b21733561fd3958bdc555194a037c2addec19dc2d7a52bd"},
    {"76ed24a0f40a41221ebfcf",
     "044cef802901932e46dc46b2545e6c99c0fc323a0ed99b081bda4216857f38ac"},
    {"9baf69cba317f422fe26a9a0",
     "fe56287cd657e4afc50dba7a3a54c2a6324b886becdcd1fae473b769e551a09b"},
    {"68511cdb2dbbf3530d7fb61cbc",
     "af53430466715e99a602fc9f5945719b04dd24267e6a98471f7a7869bd3b4313"},
    {"af397a8b8dd73ab702ce8e53aa9f",
     "d189498a3463b18e846b8ab1b41583b0b7efc789dad8a7fb885bbf8fb5b45c5c"},
    {"294af4802e5e925eb1c6cc9c724f09",
     "dcbaf335360de853b9cddfdafb90fa75567d0d3d58af8db9d764113aef570125"},
    {"0a27847cdc98bd6f62220b046edd762b",
     "80c25ec1600587e7f28b18b1b18e3cdc89928e39cab3bc25e4d4a4c139bcedc4"},
    {"1b503fb9a73b16ada3fcf1042623ae7610",
     "d5c30315f72ed05fe519a1bf75ab5fd0ffec5ac1acb0daf66b6b769598594509"},
    {"59eb45bbbeb054b0b97334d53580ce03f699",
     "32c38c54189f2357e96bd77eb00c2b9c341ebebacc2945f97804f59a93238288"},
    {"58e5a3259cb0b6d12c83f723379e35fd298b60",
     "9b5b37816de8fcdf3ec10b745428708df8f391c550ea6746b2cafe019c2b6ace"},
    {"c1ef39cee58e78f6fcdc12e058b7f902acd1a93b",
     "6dd52b0d8b48cc8146cebd0216fbf5f6ef7eeafc0ff2ff9d1422d6345555a142"},
    {"9cab7d7dcaec98cb3ac6c64dd5d4470d0b103a810c",
     "44d34809fc60d1fcafa7f37b794d1d3a765dd0d23194ebbe340f013f0c39b613"},
    {"ea157c02ebaf1b22de221b53f2353936d2359d1e1c97",
     "9df5c16a3f580406f07d96149303d8c408869b32053b726cf3defd241e484957"},
    {"da999bc1f9c7acff32828a73e672d0a492f6ee895c6867",
     "672b54e43f41ee77584bdf8bf854d97b6252c918f7ea2d26bc4097ea53a88f10"},
    {"47991301156d1d977c0338efbcad41004133aefbca6bcf7e",
     "feeb4b2b59fec8fdb1e55194a493d8c871757b5723675e93d3ac034b380b7fc9"},
    {"2e7ea84da4bc4d7cfb463e3f2c8647057afff3fbececa1d200",
     "76e3acbc718836f2df8ad2d0d2d76f0cfa5fea0986be918f10bcee730df441b9"},
    {"47c770eb4549b6eff6381d62e9beb464cd98d341cc1c09981a7a",
     "6733809c73e53666c735b3bd3daf87ebc77c72756150a616a194108d71231272"},
    {"ac4c26d8b43b8579d8f61c9807026e83e9b586e1159bd43b851937",
     "0e6e3c143c3a5f7f38505ed6adc9b48c18edf6dedf11635f6e8f9ac73c39fe9e"},
    {"0777fc1e1ca47304c2e265692838109e26aab9e5c4ae4e8600df4b1f",
     "ffb4fc03e054f8ecbc31470fc023bedcd4a406b9dd56c71da1b660dcc4842c65"},
    {"1a57251c431d4e6c2e06d65246a296915071a531425ecf255989422a66",
     "c644612cd326b38b1c6813b1daded34448805aef317c35f548dfb4a0d74b8106"},
    {"9b245fdad9baeb890d9c0d0eff816efb4ca138610bc7d78cb1a801ed3273",
     "c0e29eeeb0d3a7707947e623cdc7d1899adc70dd7861205ea5e5813954fb7957"},
    {"95a765809caf30ada90ad6d61c2b4b30250df0a7ce23b7753c9187f4319ce2",
     "a4139b74b102cf1e2fce229a6cd84c87501f50afa4c80feacf7d8cf5ed94f042"},
    {"09fc1accc230a205e4a208e64a8f204291f581a12756392da4b8c0cf5ef02b95",
     "4f44c1c7fbebb6f9601829f3897bfd650c56fa07844be76489076356ac1886a4"},
    {"0546f7b8682b5b95fd32385faf25854cb3f7b40cc8fa229fbd52b16934aab388a7",
     "b31ad3cd02b10db282b3576c059b746fb24ca6f09fef69402dc90ece7421cbb7"},
    {"b12db4a1025529b3b7b1e45c6dbc7baa8897a0576e66f64bf3f8236113a6276ee77d",
     "1c38bf6bbfd32292d67d1d651fd9d5b623b6ec1e854406223f51d0df46968712"},
    {"e68cb6d8c1866c0a71e7313f83dc11a5809cf5cfbeed1a587ce9c2c92e022abc1644bb",
     "c2684c0dbb85c232b6da4fb5147dd0624429ec7e657991edd95eda37a587269e"},
    {"4e3d8ac36d61d9e51480831155b253b37969fe7ef49db3b39926f3a00b69a36774366000",
     "bf9d5e5b5393053f055b380baed7e792ae85ad37c0ada5fd4519542ccc461cf3"},
    {"03b264be51e4b941864f9b70b4c958f5355aac294b4b87cb037f11f85f07eb57b3f0b89550",
     "d1f8bd684001ac5a4b67bbf79f87de524d2da99ac014dec3e4187728f4557471"},
    {"d0fefd96787c65ffa7f910d6d0ada63d64d5c4679960e7f06aeb8c70dfef954f8e39efdb629b",
     "49ba38db85c2796f85ffd57dd5ec337007414528ae33935b102d16a6b91ba6c1"},
    {"b7c79d7e5f1eeccdfedf0e7bf43e730d447e607d8d1489823d09e11201a0b1258039e7bd4875b1",
     "725e6f8d888ebaf908b7692259ab8839c3248edd22ca115bb13e025808654700"},
    {"64cd363ecce05fdfda2486d011a3db95b5206a19d3054046819dd0d36783955d7e5bf8ba18bf738a",
     "32caef024f84e97c30b4a7b9d04b678b3d8a6eb2259dff5b7f7c011f090845f8"},
    {"6ac6c63d618eaf00d91c5e2807e83c093912b8e202f78e139703498a79c6067f54497c6127a23910a6",
     "4bb33e7c6916e08a9b3ed6bcef790aaaee0dcf2e7a01afb056182dea2dad7d63"},
    {"d26826db9baeaa892691b68900b96163208e806a1da077429e454fa011840951a031327e605ab82ecce2",
     "3ac7ac6bed82fdc8cd15b746f0ee7489158192c238f371c1883c9fe90b3e2831"},
    {"3f7a059b65d6cb0249204aac10b9f1a4ac9e5868adebbe935a9eb5b9019e1c938bfc4e5c5378997a3947f2",
     "bfce809534eefe871273964d32f091fe756c71a7f512ef5f2300bcd57f699e74"},
    {"60ffcb23d6b88e485b920af81d1083f6291d06ac8ca3a965b85914bc2add40544a027fca936bbde8f359051c",
     "1d26f3e04f89b4eaa9dbed9231bb051eef2e8311ad26fe53d0bf0b821eaf7567"},
    {"9ecd07b684bb9e0e6692e320cec4510ca79fcdb3a2212c26d90df65db33e692d073cc174840db797504e482eef",
     "0ffeb644a49e787ccc6970fe29705a4f4c2bfcfe7d19741c158333ff6982cc9c"},
    {"9d64de7161895884e7fa3d6e9eb996e7ebe511b01fe19cd4a6b3322e80aaf52bf6447ed1854e71001f4d54f8931d",
     "d048ee1524014adf9a56e60a388277de194c694cc787fc5a1b554ea9f07abfdf"},
    {"c4ad3c5e78d917ecb0cbbcd1c481fc2aaf232f7e289779f40e504cc309662ee96fecbd20647ef00e46199fbc482f46",
     "50dbf40066f8d270484ee2ef6632282dfa300a85a8530eceeb0e04275e1c1efd"},
    {"4eef5107459bddf8f24fc7656fd4896da8711db50400c0164847f692b886ce8d7f4d67395090b3534efd7b0d298da34b",
     "7c5d14ed83dab875ac25ce7feed6ef837d58e79dc601fb3c1fca48d4464e8b83"},
    {"047d2758e7c2c9623f9bdb93b6597c5e84a0cd34e610014bcb25b49ed05c7e356e98c7a672c3dddcaeb84317ef614d342f",
     "7d53eccd03da37bf58c1962a8f0f708a5c5c447f6a7e9e26137c169d5bdd82e4"},
    {"3d83df37172c81afd0de115139fbf4390c22e098c5af4c5ab4852406510bc0e6cf741769f44430c5270fdae0cb849d71cbab",
     "99dc772e91ea02d9e421d552d61901016b9fd4ad2df4a8212c1ec5ba13893ab2"},
    {"33fd9bc17e2b271fa04c6b93c0bdeae98654a7682d31d9b4dab7e6f32cd58f2f148a68fbe7a88c5ab1d88edccddeb30ab21e5e",
     "cefdae1a3d75e792e8698d5e71f177cc761314e9ad5df9602c6e60ae65c4c267"},
    {"77a879cfa11d7fcac7a8282cc38a43dcf37643cc909837213bd6fd95d956b219a1406cbe73c52cd56c600e55b75bc37ea69641bc",
     "c99d64fa4dadd4bc8a389531c68b4590c6df0b9099c4d583bc00889fb7b98008"},
    {"45a3e6b86527f20b4537f5af96cfc5ad8777a2dde6cf7511886c5590ece24fc61b226739d207dabfe32ba6efd9ff4cd5db1bd5ead3",
     "4d12a849047c6acd4b2eee6be35fa9051b02d21d50d419543008c1d82c427072"},
    {"25362a4b9d74bde6128c4fdc672305900947bc3ada9d9d316ebcf1667ad4363189937251f149c72e064a48608d940b7574b17fefc0df",
     "f8e4ccab6c979229f6066cc0cb0cfa81bb21447c16c68773be7e558e9f9d798d"},
    {"3ebfb06db8c38d5ba037f1363e118550aad94606e26835a01af05078533cc25f2f39573c04b632f62f68c294ab31f2a3e2a1a0d8c2be51",
     "6595a2ef537a69ba8583dfbf7f5bec0ab1f93ce4c8ee1916eff44a93af5749c4"},
    {"2d52447d1244d2ebc28650e7b05654bad35b3a68eedc7f8515306b496d75f3e73385dd1b002625024b81a02f2fd6dffb6e6d561cb7d0bd7a",
     "cfb88d6faf2de3a69d36195acec2e255e2af2b7d933997f348e09f6ce5758360"},
    {"4cace422e4a015a75492b3b3bbfbdf3758eaff4fe504b46a26c90dacc119fa9050f603d2b58b398cad6d6d9fa922a154d9e0bc4389968274b0",
     "4d54b2d284a6794581224e08f675541c8feab6eefa3ac1cfe5da4e03e62f72e4"},
    {"8620b86fbcaace4ff3c2921b8466ddd7bacae07eefef693cf17762dcabb89a84010fc9a0fb76ce1c26593ad637a61253f224d1b14a05addccabe",
     "dba490256c9720c54c612a5bd1ef573cd51dc12b3e7bd8c6db2eabe0aacb846b"},
    {"d1be3f13febafefc14414d9fb7f693db16dc1ae270c5b647d80da8583587c1ad8cb8cb01824324411ca5ace3ca22e179a4ff4986f3f21190f3d7f3",
     "02804978eba6e1de65afdbc6a6091ed6b1ecee51e8bff40646a251de6678b7ef"},
    {"f499cc3f6e3cf7c312ffdfba61b1260c37129c1afb391047193367b7b2edeb579253e51d62ba6d911e7b818ccae1553f6146ea780f78e2219f629309",
     "0b66c8b4fefebc8dc7da0bbedc1114f228aa63c37d5c30e91ab500f3eadfcec5"},
    {"6dd6efd6f6caa63b729aa8186e308bc1bda06307c05a2c0ae5a3684e6e460811748690dc2b58775967cfcc645fd82064b1279fdca771803db9dca0ff53",
     "c464a7bf6d180de4f744bb2fe5dc27a3f681334ffd54a9814650e60260a478e3"},
    {"6511a2242ddb273178e19a82c57c85cb05a6887ff2014cf1a31cb9ba5df1695aadb25c22b3c5ed51c10d047d256b8e3442842ae4e6c525f8d7a5a944af2a",
     "d6859c0b5a0b66376a24f56b2ab104286ed0078634ba19112ace0d6d60a9c1ae"},
    {"e2f76e97606a872e317439f1a03fcd92e632e5bd4e7cbc4e97f1afc19a16fde92d77cbe546416b51640cddb92af996534dfd81edb17c4424cf1ac4d75aceeb",
     "18041bd4665083001fba8c5411d2d748e8abbfdcdfd9218cb02b68a78e7d4c23"},
    {"5a86b737eaea8ee976a0a24da63e7ed7eefad18a101c1211e2b3650c5187c2a8a650547208251f6d4237e661c7bf4c77f335390394c37fa1a9f9be836ac28509",
     "42e61e174fbb3897d6dd6cef3dd2802fe67b331953b06114a65c772859dfc1aa"},
};

// NIST SHAVS, SHA256LongMsg.rsp (CAVS 11.0): the first two messages (163 and 262 bytes).
const TShaVector kLongMsg[] = {
    {"451101250ec6f26652249d59dc974b7361d571a8101cdfd36aba3b5854d3ae086b5fdd4597721b66e3c0dc5d8c606d96"
     "57d0e323283a5217d1f53f2f284f57b85c8a61ac8924711f895c5ed90ef17745ed2d728abd22a5f7a13479a462d71b56"
     "c19a74a40b655c58edfe0a188ad2cf46cbf30524f65d423c837dd1ff2bf462ac4198007345bb44dbb7b1c861298cdf61"
     "982a833afc728fae1eda2f87aa2c9480858bec",
     "3c593aa539fdcdae516cdf2f15000f6634185c88f505b39775fb9ab137a10aa2"},
    {"6b918fb1a5ad1f9c5e5dbdf10a93a9c8f6bca89f37e79c9fe12a57227941b173ac79d8d440cde8c64c4ebc84a4c803d1"
     "98a296f3de060900cc427f58ca6ec373084f95dd6c7c427ecfbf781f68be572a88dbcbb188581ab200bfb99a3a816407"
     "e7dd6dd21003554d4f7a99c93ebfce5c302ff0e11f26f83fe669acefb0c1bbb8b1e909bd14aa48ba3445c88b0e1190ee"
     "f765ad898ab8ca2fe507015f1578f10dce3c11a55fb9434ee6e9ad6cc0fdc4684447a9b3b156b908646360f24fec2d8f"
     "a69e2c93db78708fcd2eef743dcb9353819b8d667c48ed54cd436fb1476598c4a1d7028e6f2ff50751db36ab6bc32435"
     "152a00abd3d58d9a8770d9a3e52d5a3628ae3c9e0325",
     "46500b6ae1ab40bde097ef168b0f3199049b55545a1588792d39d594f493dca7"},
};

// NIST SHAVS, SHA256Monte.rsp (CAVS 11.1): seed and the first three
// checkpoints of the Monte Carlo test (each checkpoint is 1000 hashes of the
// 96-byte concatenation of the last three digests).
const char kMonteSeed[] = "6d1e72ad03ddeb5de891e572e2396f8da015d899ef0e79503152d6010a3fe691";
const char* const kMonteCheckpoints[] = {
    "e93c330ae5447738c8aa85d71a6c80f2a58381d05872d26bdd39f1fcd4f2b788",
    "2e78f8c8772ea7c9331d41ed3f9cdf27d8f514a99342ee766ee3b8b0d0b121c0",
    "d6a23dff1b7f2eddc1a212f8a218397523a799b07386a30692fd6fe9d2bf0944",
};

// Every known-answer test runs on the fast path (where the processor has it)
// and on the portable one.
class Sha256Paths : public ::testing::TestWithParam<bool> {
 protected:
  CpuFeatures::TPortableScope path_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Engine, Sha256Paths, ::testing::Values(false, true), HashTest::PathName);

TEST_P(Sha256Paths, FipsExamples) {
  for (const auto& v : kFipsExamples) EXPECT_EQ(Digest(HashTest::Bytes(v.text)), v.digest) << v.text;
}

TEST_P(Sha256Paths, OneMillionLetterA) {
  // FIPS 180-4 example: 1,000,000 repetitions of "a", fed in uneven pieces.
  const std::string chunk(997, 'a');
  TSha256Context ctx;
  Sha256Init(ctx);
  std::int64_t left = 1000000;
  while (left > 0) {
    const std::int64_t n = left < 997 ? left : 997;
    Sha256Update(ctx, chunk.data(), n);
    left -= n;
  }
  std::uint8_t d[Sha256DigestSize];
  Sha256Final(ctx, d);
  EXPECT_EQ(ToHex(d, sizeof d), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_P(Sha256Paths, NistShortAndLongMessages) {
  for (const auto& v : kShortMsg) EXPECT_EQ(Digest(FromHex(v.message)), v.digest) << v.message;
  for (const auto& v : kLongMsg) EXPECT_EQ(Digest(FromHex(v.message)), v.digest);
}

TEST_P(Sha256Paths, NistMonteCarlo) {
  std::vector<std::uint8_t> seed = FromHex(kMonteSeed);
  for (const char* checkpoint : kMonteCheckpoints) {
    std::vector<std::uint8_t> md[3] = {seed, seed, seed};
    for (int i = 0; i < 1000; ++i) {
      std::vector<std::uint8_t> m;
      for (const auto& part : md) m.insert(m.end(), part.begin(), part.end());
      md[0] = md[1];
      md[1] = md[2];
      md[2].assign(Sha256DigestSize, 0);
      Sha256(m.data(), static_cast<std::int64_t>(m.size()), md[2].data());
    }
    seed = md[2];
    ASSERT_EQ(ToHex(seed), checkpoint);
  }
}

TEST_P(Sha256Paths, EverySplitOfTheUpdatesEqualsOneCall) {
  // 200 bytes cross three block boundaries; every split point, fed as two
  // pieces and as three, must give the one-shot digest.
  const std::vector<std::uint8_t> msg = HashTest::TTestRandom(7).Fill(200);
  const std::string expected = Digest(msg);
  for (std::size_t a = 0; a <= msg.size(); ++a) {
    for (std::size_t b = a; b <= msg.size(); b += (a % 13 == 0 ? 1 : 23)) {
      TSha256Context ctx;
      Sha256Init(ctx);
      Sha256Update(ctx, msg.data(), static_cast<std::int64_t>(a));
      Sha256Update(ctx, msg.data() + a, static_cast<std::int64_t>(b - a));
      Sha256Update(ctx, msg.data() + b, static_cast<std::int64_t>(msg.size() - b));
      std::uint8_t d[Sha256DigestSize];
      Sha256Final(ctx, d);
      ASSERT_EQ(ToHex(d, sizeof d), expected) << "split at " << a << " and " << b;
    }
  }
}

TEST(Sha256, NullOrNonPositiveUpdatesDoNothing) {
  const std::uint8_t byte = 0x61;
  TSha256Context ctx;
  Sha256Init(ctx);
  Sha256Update(ctx, nullptr, 5);
  Sha256Update(ctx, &byte, 0);
  Sha256Update(ctx, &byte, -1);
  Sha256Update(ctx, &byte, INT64_MIN);
  Sha256Update(ctx, "abc", 3);
  std::uint8_t d[Sha256DigestSize];
  Sha256Final(ctx, d);
  EXPECT_EQ(ToHex(d, sizeof d), kFipsExamples[0].digest);

  Sha256(nullptr, 10, d);
  EXPECT_EQ(ToHex(d, sizeof d), kFipsExamples[3].digest);
}

TEST(Sha256, FinalWipesTheContext) {
  TSha256Context ctx;
  Sha256Init(ctx);
  Sha256Update(ctx, "secret", 6);
  std::uint8_t d[Sha256DigestSize];
  Sha256Final(ctx, d);
  const TSha256Context zero{};
  EXPECT_EQ(std::memcmp(&ctx, &zero, sizeof ctx), 0);
}

TEST(Sha256, FastPathEqualsPortablePath) {
  if (!CpuFeatures::Detected().SHA) GTEST_SKIP() << "this processor has no SHA extensions";
  HashTest::TTestRandom rnd(42);
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = round < 200 ? static_cast<std::size_t>(round) : rnd.Below(20000);
    const std::vector<std::uint8_t> msg = rnd.Fill(n);
    const std::string fast = Digest(msg);
    CpuFeatures::TPortableScope portable;
    ASSERT_EQ(Digest(msg), fast) << "length " << n;
  }
}

}  // namespace

#!/usr/bin/env python3
"""Write a synthetic Google Contacts style vCard 3.0 export for benchmarking.

The output looks like what contacts.google.com exports for a Japanese user:
CRLF line ends, lines folded at exactly 75 octets even when that splits a
multi-byte UTF-8 character, katakana readings, Apple-style related-name
items and free-text notes.  Everything is made up; e-mail addresses use
reserved example domains and phone numbers are random.

The same --seed and count always give the same bytes (for a given Python 3
minor version), so run.sh can cache generated files.
"""

import argparse
import random
import sys

# (kanji, katakana reading, romaji for e-mail local parts).  A few old-style
# variants (髙, 﨑, 齋, 邊, 邉) are included because real address books are
# full of them and they live in the vendor extension rows of code page 932.
SURNAMES = [
    ("佐藤", "サトウ", "sato"), ("鈴木", "スズキ", "suzuki"),
    ("高橋", "タカハシ", "takahashi"), ("田中", "タナカ", "tanaka"),
    ("伊藤", "イトウ", "ito"), ("渡辺", "ワタナベ", "watanabe"),
    ("山本", "ヤマモト", "yamamoto"), ("中村", "ナカムラ", "nakamura"),
    ("小林", "コバヤシ", "kobayashi"), ("加藤", "カトウ", "kato"),
    ("吉田", "ヨシダ", "yoshida"), ("山田", "ヤマダ", "yamada"),
    ("佐々木", "ササキ", "sasaki"), ("山口", "ヤマグチ", "yamaguchi"),
    ("松本", "マツモト", "matsumoto"), ("井上", "イノウエ", "inoue"),
    ("木村", "キムラ", "kimura"), ("林", "ハヤシ", "hayashi"),
    ("斎藤", "サイトウ", "saito"), ("清水", "シミズ", "shimizu"),
    ("山崎", "ヤマザキ", "yamazaki"), ("森", "モリ", "mori"),
    ("池田", "イケダ", "ikeda"), ("橋本", "ハシモト", "hashimoto"),
    ("阿部", "アベ", "abe"), ("石川", "イシカワ", "ishikawa"),
    ("山下", "ヤマシタ", "yamashita"), ("中島", "ナカジマ", "nakajima"),
    ("石井", "イシイ", "ishii"), ("小川", "オガワ", "ogawa"),
    ("前田", "マエダ", "maeda"), ("岡田", "オカダ", "okada"),
    ("長谷川", "ハセガワ", "hasegawa"), ("藤田", "フジタ", "fujita"),
    ("後藤", "ゴトウ", "goto"), ("近藤", "コンドウ", "kondo"),
    ("村上", "ムラカミ", "murakami"), ("遠藤", "エンドウ", "endo"),
    ("青木", "アオキ", "aoki"), ("坂本", "サカモト", "sakamoto"),
    ("斉藤", "サイトウ", "saito"), ("福田", "フクダ", "fukuda"),
    ("太田", "オオタ", "ota"), ("西村", "ニシムラ", "nishimura"),
    ("藤井", "フジイ", "fujii"), ("金子", "カネコ", "kaneko"),
    ("岡本", "オカモト", "okamoto"), ("藤原", "フジワラ", "fujiwara"),
    ("中野", "ナカノ", "nakano"), ("三浦", "ミウラ", "miura"),
    ("原田", "ハラダ", "harada"), ("中川", "ナカガワ", "nakagawa"),
    ("松田", "マツダ", "matsuda"), ("竹内", "タケウチ", "takeuchi"),
    ("小野", "オノ", "ono"), ("田村", "タムラ", "tamura"),
    ("中山", "ナカヤマ", "nakayama"), ("和田", "ワダ", "wada"),
    ("石田", "イシダ", "ishida"), ("森田", "モリタ", "morita"),
    ("上田", "ウエダ", "ueda"), ("原", "ハラ", "hara"),
    ("内田", "ウチダ", "uchida"), ("柴田", "シバタ", "shibata"),
    ("酒井", "サカイ", "sakai"), ("工藤", "クドウ", "kudo"),
    ("横山", "ヨコヤマ", "yokoyama"), ("宮崎", "ミヤザキ", "miyazaki"),
    ("宮本", "ミヤモト", "miyamoto"), ("高木", "タカギ", "takagi"),
    ("髙橋", "タカハシ", "takahashi"), ("山﨑", "ヤマザキ", "yamazaki"),
    ("齋藤", "サイトウ", "saito"), ("渡邊", "ワタナベ", "watanabe"),
    ("渡邉", "ワタナベ", "watanabe"), ("大野", "オオノ", "ono"),
]

MALE_NAMES = [
    ("太郎", "タロウ", "taro"), ("一郎", "イチロウ", "ichiro"),
    ("健太", "ケンタ", "kenta"), ("翔太", "ショウタ", "shota"),
    ("大輔", "ダイスケ", "daisuke"), ("誠", "マコト", "makoto"),
    ("拓也", "タクヤ", "takuya"), ("直樹", "ナオキ", "naoki"),
    ("浩", "ヒロシ", "hiroshi"), ("隆", "タカシ", "takashi"),
    ("健一", "ケンイチ", "kenichi"), ("蓮", "レン", "ren"),
    ("悠真", "ユウマ", "yuma"), ("陽翔", "ハルト", "haruto"),
    ("湊", "ミナト", "minato"), ("大翔", "ヒロト", "hiroto"),
    ("樹", "イツキ", "itsuki"), ("亮", "リョウ", "ryo"),
    ("達也", "タツヤ", "tatsuya"), ("和也", "カズヤ", "kazuya"),
    ("修", "オサム", "osamu"), ("博之", "ヒロユキ", "hiroyuki"),
    ("正樹", "マサキ", "masaki"), ("洋平", "ヨウヘイ", "yohei"),
    ("翼", "ツバサ", "tsubasa"), ("颯太", "ソウタ", "sota"),
    ("悠人", "ユウト", "yuto"), ("秀樹", "ヒデキ", "hideki"),
    ("雄一", "ユウイチ", "yuichi"), ("智也", "トモヤ", "tomoya"),
    ("淳", "ジュン", "jun"), ("慎吾", "シンゴ", "shingo"),
]

FEMALE_NAMES = [
    ("花子", "ハナコ", "hanako"), ("陽子", "ヨウコ", "yoko"),
    ("美咲", "ミサキ", "misaki"), ("さくら", "サクラ", "sakura"),
    ("由美", "ユミ", "yumi"), ("恵子", "ケイコ", "keiko"),
    ("愛", "アイ", "ai"), ("結衣", "ユイ", "yui"),
    ("陽菜", "ヒナ", "hina"), ("美穂", "ミホ", "miho"),
    ("真由美", "マユミ", "mayumi"), ("久美子", "クミコ", "kumiko"),
    ("明美", "アケミ", "akemi"), ("直美", "ナオミ", "naomi"),
    ("智子", "トモコ", "tomoko"), ("裕子", "ユウコ", "yuko"),
    ("幸子", "サチコ", "sachiko"), ("凛", "リン", "rin"),
    ("葵", "アオイ", "aoi"), ("芽依", "メイ", "mei"),
    ("結菜", "ユイナ", "yuina"), ("彩", "アヤ", "aya"),
    ("麻衣", "マイ", "mai"), ("舞", "マイ", "mai"),
    ("千尋", "チヒロ", "chihiro"), ("瞳", "ヒトミ", "hitomi"),
    ("香織", "カオリ", "kaori"), ("紀子", "ノリコ", "noriko"),
    ("美和", "ミワ", "miwa"), ("優子", "ユウコ", "yuko"),
    ("ゆかり", "ユカリ", "yukari"), ("みどり", "ミドリ", "midori"),
]

# (company stem, reading); these contacts get 御中 and no given name, the way
# people store their dentist or their children's school.
COMPANIES = [
    ("山田商事株式会社", "ヤマダショウジ"), ("株式会社さくら印刷", "サクラインサツ"),
    ("みどり歯科クリニック", "ミドリシカクリニック"),
    ("青葉小学校PTA", "アオバショウガッコウピーティーエー"),
    ("有限会社中村工務店", "ナカムラコウムテン"),
    ("東西ホールディングス株式会社", "トウザイホールディングス"),
]

# (prefecture, municipality, postal code prefixes, town names).  Kyoto's
# street-intersection style and rural 郡 addresses are there because they
# produce the longest lines.
PLACES = [
    ("東京都", "千代田区", ["100", "101", "102"], ["丸の内", "大手町", "神田神保町", "九段北"]),
    ("東京都", "新宿区", ["160", "162", "169"], ["西新宿", "高田馬場", "神楽坂", "四谷"]),
    ("東京都", "渋谷区", ["150", "151"], ["神南", "恵比寿", "道玄坂", "代々木"]),
    ("東京都", "世田谷区", ["154", "156", "157", "158"], ["三軒茶屋", "成城", "用賀", "北沢"]),
    ("東京都", "八王子市", ["192", "193"], ["旭町", "元本郷町", "南大沢"]),
    ("神奈川県", "横浜市中区", ["231"], ["山下町", "元町", "本町"]),
    ("神奈川県", "川崎市中原区", ["211"], ["小杉町", "新丸子町", "木月"]),
    ("神奈川県", "鎌倉市", ["248"], ["雪ノ下", "由比ガ浜", "大船"]),
    ("埼玉県", "さいたま市浦和区", ["330"], ["高砂", "常盤", "岸町"]),
    ("千葉県", "千葉市中央区", ["260"], ["富士見", "中央", "新町"]),
    ("千葉県", "船橋市", ["273"], ["本町", "湊町", "海神"]),
    ("大阪府", "大阪市北区", ["530"], ["梅田", "曽根崎", "天神橋"]),
    ("大阪府", "堺市堺区", ["590"], ["大町東", "宿院町東", "北瓦町"]),
    ("京都府", "京都市中京区", ["604"], ["河原町通三条上る恵比須町", "烏丸通御池下る虎屋町", "寺町通二条下る榎木町"]),
    ("兵庫県", "神戸市中央区", ["650", "651"], ["三宮町", "元町通", "北野町"]),
    ("愛知県", "名古屋市中区", ["460"], ["栄", "錦", "大須"]),
    ("北海道", "札幌市中央区", ["060", "064"], ["北一条西", "大通西", "南三条西"]),
    ("北海道", "旭川市", ["070"], ["宮下通", "四条通"]),
    ("宮城県", "仙台市青葉区", ["980"], ["一番町", "国分町", "本町"]),
    ("福岡県", "福岡市博多区", ["812"], ["博多駅前", "中洲", "祇園町"]),
    ("福岡県", "北九州市小倉北区", ["802", "803"], ["魚町", "京町", "紺屋町"]),
    ("広島県", "広島市中区", ["730"], ["紙屋町", "八丁堀", "大手町"]),
    ("沖縄県", "那覇市", ["900"], ["久茂地", "牧志", "泉崎"]),
    ("新潟県", "新潟市中央区", ["950", "951"], ["古町通", "東堀通", "万代"]),
    ("静岡県", "静岡市葵区", ["420"], ["紺屋町", "呉服町", "追手町"]),
    ("石川県", "金沢市", ["920"], ["香林坊", "片町", "東山"]),
    ("長野県", "北佐久郡軽井沢町", ["389"], ["大字軽井沢", "大字長倉", "大字追分"]),
    ("岩手県", "盛岡市", ["020"], ["大通", "中ノ橋通", "菜園"]),
    ("鹿児島県", "鹿児島市", ["892"], ["山下町", "東千石町", "天文館通"]),
    ("熊本県", "熊本市中央区", ["860"], ["下通", "上通町", "水道町"]),
    ("愛媛県", "松山市", ["790"], ["大街道", "一番町", "道後湯之町"]),
    ("岡山県", "岡山市北区", ["700"], ["駅前町", "表町", "丸の内"]),
]

BUILDINGS = [
    "サンハイツ", "パークハイツ", "メゾン・ド・さくら", "グランドメゾン", "コーポ山田",
    "ライオンズマンション", "ハイツ若葉", "シティタワー", "レジデンス青葉", "第二松風荘",
]

SPOUSE_FLAGS = ["true", "True", "TRUE", "false", "False", "はい"]
CHILD_FLAGS = ["true", "True", "false", "FALSE", "いいえ"]

# Note prose.  ASCII commas appear escaped as "\," exactly as Google writes
# them; "\n" is the vCard newline escape, not a real line break.
NOTE_SENTENCES = [
    "大学時代のゼミの先輩。毎年手書きの年賀状をくださるので必ず返信すること。",
    "二〇二三年は喪中のため年賀欠礼、寒中見舞いを送付済み。",
    "引っ越し予定ありとのこと、新住所の連絡待ち。",
    "前の会社の同僚で、今は独立してデザイン事務所を経営している。",
    "子どもが同じ保育園に通っていた縁で家族ぐるみの付き合い。",
    "住所は実家のもの。本人は海外赴任中（シンガポール）。",
    "お中元とお歳暮のやり取りあり、品物は毎年違うものを選ぶ。",
    "連名にするかどうか毎年迷う。奥様の旧姓は田村さん。",
    "趣味はゴルフと釣り。写真入りの年賀状を喜んでくれる。",
    "結婚式でスピーチをお願いした恩人、失礼のないように。",
    "郵便番号が変わったらしいので次回は要確認。",
    "Meeting at Shibuya\, 2019年秋の同窓会で再会。",
    "部活の後輩（テニス部）。SNSでもつながっている。",
    "義理の両親、宛名は連名で「様」を忘れずに。",
    "住所表記は番地まで漢数字で書いてほしいとのこと。",
    "宛名面の部屋番号は省略しないでと言われた。",
    "ご近所さん、町内会の会計担当。",
    "Line: tanaka.family / 携帯は夜のみ可。",
]

EMOJI = ["🎍", "🐉", "🎉", "😊", "👶", "🌸", "🗻", "🐇", "👨\u200d👩\u200d👧"]

EMAIL_DOMAINS = ["example.com", "example.jp", "example.ne.jp", "example.co.jp", "example.org"]

FOLD_AT = 75


def fold(line):
    """Encode one logical line and fold it every 75 octets with CRLF + space.

    The cut ignores character boundaries on purpose: Google's export does the
    same, so a reader that unfolds per character instead of per octet breaks.
    """
    b = line.encode("utf-8")
    n = len(b)
    if n <= FOLD_AT:
        return b + b"\r\n"
    parts = [b[:FOLD_AT]]
    # A continuation line is the space plus 74 octets, 75 in all.
    step = FOLD_AT - 1
    for i in range(FOLD_AT, n, step):
        parts.append(b" " + b[i:i + step])
    return b"\r\n".join(parts) + b"\r\n"


def street_number(rnd):
    a, b, c = rnd.randint(1, 9), rnd.randint(1, 30), rnd.randint(1, 40)
    style = rnd.random()
    if style < 0.55:
        return f"{a}-{b}-{c}"
    if style < 0.75:
        return f"{a}\u2212{b}\u2212{c}"
    if style < 0.87:
        return f"{a}丁目{b}番{c}号"
    if style < 0.95:
        # Full-width digits and hyphens, as typed with a Japanese IME.
        return f"{a}－{b}－{c}".translate(FULLWIDTH_DIGITS)
    return f"{rnd.randint(100, 3999)}番地"


FULLWIDTH_DIGITS = str.maketrans("0123456789", "０１２３４５６７８９")


def address(rnd):
    pref, city, prefixes, towns = rnd.choice(PLACES)
    street = rnd.choice(towns) + street_number(rnd)
    extended = ""
    r = rnd.random()
    if r < 0.30:
        extended = f"{rnd.choice(BUILDINGS)}{rnd.randint(1, 12)}0{rnd.randint(1, 9)}号室"
    elif r < 0.40:
        # Building on a second line of the street field; the converter has to
        # decode the escape and decide where it goes.
        street += f"\\n{rnd.choice(BUILDINGS)} {rnd.randint(1, 9)}0{rnd.randint(1, 9)}"
    elif r < 0.45:
        street += f" {rnd.choice(BUILDINGS)}{rnd.randint(1, 9)}0{rnd.randint(1, 9)}"
    code = f"{rnd.choice(prefixes)}-{rnd.randint(0, 9999):04d}"
    r = rnd.random()
    if r < 0.35:
        code = "〒" + code
    elif r < 0.45:
        code = code.replace("-", "")
    country = rnd.choices(("日本", "Japan", "JP", ""), (80, 8, 4, 8))[0]
    return f"ADR;TYPE=HOME:;{extended};{street};{city};{pref};{code};{country}"


def note(rnd, has_spouse, has_children):
    parts = []
    if has_spouse or rnd.random() < 0.3:
        parts.append("配偶者印刷: " + rnd.choice(SPOUSE_FLAGS))
    if has_children or rnd.random() < 0.2:
        parts.append("子ども印刷: " + rnd.choice(CHILD_FLAGS))
    # Weighted so that a contact averages about half a kilobyte, as in real
    # exports, while a tail of long notes still spans several folds.
    prose = "".join(rnd.sample(NOTE_SENTENCES, rnd.choices((1, 2, 3, 4), (75, 18, 5, 2))[0]))
    if rnd.random() < 0.05:
        prose += rnd.choice(EMOJI)
    parts.append(prose)
    return "NOTE:" + "\\n".join(parts)


def quoted_printable(value):
    """Every byte as =XX, a soft line break after every 23, as Android writes."""
    encoded = []
    for i, byte in enumerate(value.encode("utf-8")):
        encoded.append(b"=%02X" % byte)
        if (i + 1) % 23 == 0:
            encoded.append(b"=\r\n")
    return b"".join(encoded)


# Google's keys as Android's own export writes them.
ANDROID_KEYS = {"ADR;TYPE=HOME": "ADR;HOME", "EMAIL;TYPE=INTERNET": "EMAIL;HOME", "TEL;TYPE=CELL": "TEL;CELL"}


def android(line):
    """One logical line in Android's vCard 2.1: a value beyond ASCII goes
    quoted-printable, with its character set."""
    key, value = line.split(":", 1)
    key = ANDROID_KEYS.get(key, key)
    if value.isascii():
        return f"{key}:{value}\r\n".encode("utf-8")
    return f"{key};CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:".encode("utf-8") + quoted_printable(value) + b"\r\n"


def relation(item, name, label, shape):
    if shape == "android":
        code = 14 if label == "Spouse" else 3
        return android(f"X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;{name};{code};;;;;;;;;;;;;")
    return fold(f"item{item}.X-ABRELATEDNAMES:{name}") + fold(f"item{item}.X-ABLabel:_$!<{label}>!$_")


def contact(rnd, out, shape="google"):
    """Append the lines of one contact to `out` (a list of bytes), as
    Google's export writes them (folded), or Android's own."""
    emit = fold if shape == "google" else android
    out.append(b"BEGIN:VCARD\r\nVERSION:3.0\r\n" if shape == "google" else b"BEGIN:VCARD\r\nVERSION:2.1\r\n")
    fam, fam_kana, fam_roma = rnd.choice(SURNAMES)
    r = rnd.random()
    if r < 0.02:
        company, company_kana = rnd.choice(COMPANIES)
        out.append(emit(f"FN:{company}"))
        out.append(emit(f"N:{company};;;;御中"))
        out.append(emit(f"X-PHONETIC-LAST-NAME:{company_kana}"))
        given = given_kana = None
        given_roma = "info"
    else:
        male = rnd.random() < 0.5
        given, given_kana, given_roma = rnd.choice(MALE_NAMES if male else FEMALE_NAMES)
        suffix = "先生" if r < 0.07 else ("様" if r < 0.09 else "")
        out.append(emit(f"FN:{fam} {given}"))
        out.append(emit(f"N:{fam};{given};;;{suffix}"))
        out.append(emit(f"X-PHONETIC-FIRST-NAME:{given_kana}"))
        out.append(emit(f"X-PHONETIC-LAST-NAME:{fam_kana}"))
    if rnd.random() < 0.7:
        sep = rnd.choice("._")
        out.append(emit(f"EMAIL;TYPE=INTERNET:{given_roma}{sep}{fam_roma}"
                        f"{rnd.randint(1, 999)}@{rnd.choice(EMAIL_DOMAINS)}"))
    if rnd.random() < 0.6:
        out.append(emit(f"TEL;TYPE=CELL:0{rnd.choice('789')}0-{rnd.randint(0, 9999):04d}"
                        f"-{rnd.randint(0, 9999):04d}"))
    if rnd.random() < 0.85:
        out.append(emit(address(rnd)))
    if rnd.random() < 0.2:
        out.append(emit(f"BDAY:{rnd.randint(1940, 2015)}-{rnd.randint(1, 12):02d}"
                        f"-{rnd.randint(1, 28):02d}"))
    item = 0
    has_spouse = given is not None and rnd.random() < 0.55
    if has_spouse:
        item += 1
        spouse = rnd.choice(FEMALE_NAMES if male else MALE_NAMES)[0]
        out.append(relation(item, spouse, "Spouse", shape))
    children = rnd.choices((0, 1, 2, 3), (40, 25, 25, 10))[0] if given is not None else 0
    for _ in range(children):
        item += 1
        child = rnd.choice(MALE_NAMES if rnd.random() < 0.5 else FEMALE_NAMES)[0]
        out.append(relation(item, child, "Child", shape))
    if rnd.random() < 0.9:
        out.append(emit(note(rnd, has_spouse, children > 0)))
    out.append(b"CATEGORIES:myContacts\r\nEND:VCARD\r\n")


def generate(count, seed, stream, batch=2000, shape="google"):
    rnd = random.Random(seed)
    written = done = 0
    while done < count:
        n = min(batch, count - done)
        buf = []
        for _ in range(n):
            contact(rnd, buf, shape)
        data = b"".join(buf)
        stream.write(data)
        written += len(data)
        done += n
    return written


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("count", type=int, help="number of contacts")
    ap.add_argument("-o", "--output", default="-", help="output file, '-' for stdout (default)")
    ap.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    ap.add_argument("--shape", choices=("google", "android"), default="google",
                    help="the same contacts as Google's export writes them (default) or Android's own")
    args = ap.parse_args(argv)
    if args.count < 0:
        ap.error("count must be >= 0")
    if args.output == "-":
        generate(args.count, args.seed, sys.stdout.buffer, shape=args.shape)
        sys.stdout.buffer.flush()
    else:
        with open(args.output, "wb", buffering=1 << 20) as f:
            generate(args.count, args.seed, f, shape=args.shape)
    return 0


if __name__ == "__main__":
    sys.exit(main())

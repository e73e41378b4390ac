import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.ArgumentOutOfRangeException;
import i2cdln.Dln;
import i2cdln.DlnException;
import i2cdln.LaserRanger;
import i2cdln.SpiEeprom;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * The two objects with state beyond one call: the laser ranger recovering by itself after the
 * adapter server restarted, and the EEPROM programmed and checked by reading it back.
 */
public class LaserAndEepromTest {
    /** In the child: a range, then (after the parent restarted the server) another. */
    public static void restartChild() throws Exception {
        LaserRanger laser = Dln.create().laser();
        laser.setDeadline(java.time.Duration.ofSeconds(60)); // the counts are under test here
        List<String> told = new ArrayList<>();
        laser.setListener((attempt, reason) -> told.add(attempt + " " + reason));
        NativeRun.report("before", laser.range());
        Files.createFile(Path.of("measured"));
        ServerFaultTest.awaitFile(Path.of("restarted"));
        NativeRun.report("after", laser.range());
        NativeRun.report("told", told);
    }

    @Test
    void theLaserReconnectsAndRecalibratesAfterAServerRestart() throws Exception {
        Path dir = Files.createTempDirectory("laser-restart");
        Path scenario = Path.of(System.getProperty("source.dir"),
                "java/test/scenarios/laser_still.json");
        SimServer first = SimServer.start(scenario, null);
        CompletableFuture<NativeRun> child = FaultSafetyTest.childInBackground(
                "LaserAndEepromTest#restartChild", dir);
        NativeRun run;
        try {
            ServerFaultTest.awaitFile(dir.resolve("measured"));
            first.kill();
            try (SimServer second = SimServer.start(scenario, null)) {
                Files.createFile(dir.resolve("restarted"));
                run = child.get(120, TimeUnit.SECONDS);
            }
        } finally {
            first.close();
        }
        assertEquals(0, run.exitCode, run.stderr);
        // 412 mm +- 3 of noise, with no recovery before the restart and one after it: the kept
        // connection died with the first server, so the measurement fails as not connected,
        // and the ranger reconnects at once rather than repeating it on a lost connection.
        assertReading(run.reported("before").get(0), 0, 0);
        assertReading(run.reported("after").get(0), 1, 1);
        assertTrue(run.reported("told").get(0).matches(
                "\\[1 LaserRanger.range at I2C 0x29: 0x4[01] (not connected|invalid handle).*]"),
                run.reported("told").get(0));
    }

    static void assertReading(String reading, int failed, int recoveries) {
        java.util.regex.Matcher m = java.util.regex.Pattern.compile(
                "Reading\\[millimetres=(\\d+), failedMeasurements=(\\d+), recoveries=(\\d+)]")
                .matcher(reading);
        assertTrue(m.matches(), reading);
        assertTrue(Math.abs(Integer.parseInt(m.group(1)) - 412) <= 3, reading);
        assertEquals(failed, Integer.parseInt(m.group(2)), reading);
        assertEquals(recoveries, Integer.parseInt(m.group(3)), reading);
    }

    /**
     * In the child: program (beside the program's own program.hex and zz.dat), verify, a wrong
     * verify, files that are not address/data pairs, program from a file, erase.
     */
    public static void eepromChild() throws Exception {
        SpiEeprom eeprom = Dln.create().eeprom(0);
        byte[] image = new byte[3000];
        new Random(7).nextBytes(image);
        image[2999] = 1; // the last block is not erased-looking: programmed up to the end
        Files.writeString(Path.of("program.hex"), "mine\n");
        Files.writeString(Path.of("zz.dat"), "mine too\n");
        List<String> steps = new ArrayList<>();
        eeprom.program(image, (step, done, total) -> {
            if (!step.equals("program") || done % 16384 == 0) {
                steps.add(step + " " + done + "/" + total);
            }
        });
        NativeRun.report("steps", steps);
        NativeRun.report("ownFiles", (Files.readString(Path.of("program.hex"))
                + Files.readString(Path.of("zz.dat"))).replace('\n', '|'));
        // Refused before the chip is touched: it still holds the image.
        byte[] twoMegabyteLine = new byte[2 << 20];
        Arrays.fill(twoMegabyteLine, (byte) '7');
        Map<String, byte[]> hostile = new LinkedHashMap<>();
        hostile.put("empty", new byte[0]);
        hostile.put("blank", " \n\t\n".getBytes(StandardCharsets.US_ASCII));
        hostile.put("garbage", new byte[] {0x10, (byte) 0xff, 0x00, 0x7f, 'x'});
        hostile.put("long", twoMegabyteLine);
        hostile.put("odd", "10 ab\n20".getBytes(StandardCharsets.US_ASCII));
        hostile.put("word", "10 ab\n20 zz\n".getBytes(StandardCharsets.US_ASCII));
        hostile.put("onlyHigh", "10000 55\n".getBytes(StandardCharsets.US_ASCII));
        for (Map.Entry<String, byte[]> file : hostile.entrySet()) {
            Path path = Path.of(file.getKey() + ".hex");
            Files.write(path, file.getValue());
            try {
                eeprom.program(path, SpiEeprom.Progress.none());
                NativeRun.report("hostile", file.getKey() + " accepted");
            } catch (ArgumentOutOfRangeException e) {
                NativeRun.report("hostile", file.getKey() + " " + e.getMessage());
            }
        }
        eeprom.verify(image, SpiEeprom.Progress.none());
        NativeRun.report("untouched", "verified");
        image[2047] ^= 0x10;
        try {
            eeprom.verify(image, SpiEeprom.Progress.none());
            NativeRun.report("wrongVerify", "passed");
        } catch (DlnException e) {
            NativeRun.report("wrongVerify", e.getMessage());
        }
        Path file = Path.of("mine.hex");
        Files.writeString(file, "0 11\n0x10 0x1AB\nFF 7e\n10000 55\n20 33\n", StandardCharsets.US_ASCII);
        eeprom.program(file, SpiEeprom.Progress.none());
        byte[] expected = new byte[256];
        expected[0] = 0x11;
        expected[0x10] = (byte) 0xAB;
        expected[0xFF] = 0x7E;
        eeprom.verify(expected, SpiEeprom.Progress.none());
        NativeRun.report("fromFile", "verified");
        eeprom.erase(SpiEeprom.Progress.none());
        NativeRun.report("erased", "verified");
    }

    @Test
    void theEepromIsProgrammedAndVerifiedByReadingItBack() throws Exception {
        Path dir = Files.createTempDirectory("eeprom");
        NativeRun run;
        try (SimServer sim = SimServer.start()) {
            run = NativeRun.run("LaserAndEepromTest#eepromChild", dir);
        }
        assertEquals(0, run.exitCode, run.stderr);
        // The read-back goes in reads of 4 KiB.
        List<String> steps = List.of("identify 0/1", "identify 1/1", "erase 0/1", "erase 1/1",
                "program 0/65536", "program 16384/65536", "program 32768/65536",
                "program 49152/65536", "program 65536/65536", "verify 3000/3000");
        assertEquals(steps.toString(), run.reported("steps").get(0));
        assertEquals(List.of("mine|mine too|"), run.reported("ownFiles"));
        assertEquals(List.of(
                "empty empty.hex: the file holds no address/data pair at or below ffff",
                "blank blank.hex: the file holds no address/data pair at or below ffff",
                "garbage garbage.hex: line 1: \"\\x10\\xff\\x00\\x7fx\" is not a hexadecimal"
                        + " number of at most 8 digits",
                "long long.hex: line 1: \"77777777777777777777...\" is not a hexadecimal number of"
                        + " at most 8 digits",
                "odd odd.hex: line 2: the address 20 has no data after it",
                "word word.hex: line 2: \"zz\" is not a hexadecimal number of at most 8 digits",
                "onlyHigh onlyHigh.hex: the file holds no address/data pair at or below ffff"),
                run.reported("hostile").stream().map(line -> line.replace("SpiEeprom.program at"
                        + " SPI line 0: ", "")).toList());
        assertEquals(List.of("verified"), run.reported("untouched"));
        String wrong = run.reported("wrongVerify").get(0);
        assertTrue(wrong.matches("SpiEeprom.verify at SPI line 0: read back 1 of 3000 bytes different;"
                + " first at 0x07ff: expected ([0-9a-f]{2}), read ([0-9a-f]{2})"), wrong);
        assertEquals(List.of("verified"), run.reported("fromFile"));
        assertEquals(List.of("verified"), run.reported("erased"));
    }
}

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Random;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** SPI from Java over TCP against dln-sim: a loopback transfer and EEPROM programming. */
public class SpiTest {
    @TempDir
    Path dir;

    /** An EEPROM on line 0 that mirrors its memory to chip.bin, a loopback on line 2. */
    private SimServer startSim() throws Exception {
        Path scenario = dir.resolve("spi.json");
        Files.writeString(scenario, "{\"spi\": [{\"ss\": 0, \"model\": \"eeprom\", \"dump\": \""
                + dir.resolve("chip.bin") + "\"}, {\"ss\": 2, \"model\": \"loopback\"}]}");
        return SimServer.start(scenario, null);
    }

    private byte[] chip() throws Exception {
        return Files.readAllBytes(dir.resolve("chip.bin"));
    }

    /** Writes program.hex with the pairs and returns the image they describe. */
    private byte[] writeProgramHex(int[][] pairs) throws Exception {
        byte[] image = new byte[65536];
        StringBuilder text = new StringBuilder();
        for (int[] pair : pairs) {
            text.append(Integer.toHexString(pair[0])).append(' ')
                    .append(Integer.toHexString(pair[1])).append('\n');
            image[pair[0]] = (byte) pair[1];
        }
        Files.writeString(dir.resolve("program.hex"), text.toString());
        return image;
    }

    public static void loopbackChild() {
        int[] slots = new int[255];
        Arrays.fill(slots, -3);
        int[] head = {4, 1, 0, 2, 0x40, 0x42, 0x0F, 0, 0x1A5, 0, 0x7F, 0xFF};
        System.arraycopy(head, 0, slots, 0, head.length);
        NativeRun.report("return", I2C_DLN.spiWriteRead(slots));
        NativeRun.report("slots", Arrays.copyOf(slots, 14));
    }

    @Test
    void loopbackReturnsTheBytesSent() throws Exception {
        try (SimServer sim = startSim()) {
            NativeRun run = NativeRun.run("SpiTest#loopbackChild", dir);
            assertEquals("3", run.reported("return").get(0));
            assertArrayEquals(new int[] {4, 1, 0, 2, 0x40, 0x42, 0x0F, 0, 0xA5, 0, 0x7F, 0xFF,
                    -3, -3}, run.reportedInts("slots"));
            assertTrue(run.stdout.endsWith("SPI Read Write Okay\nSPI C READ:0\ta5\n"
                    + "SPI C READ:1\t0\nSPI C READ:2\t7f\nSPI C READ:3\tff\n"
                    + "Passing Write Data =4\n"), run.stdout);
        }
    }

    public static void programChild() {
        long start = System.nanoTime();
        NativeRun.report("return", I2C_DLN.spiProgramEEPROM(new int[255]));
        NativeRun.report("ms", (System.nanoTime() - start) / 1_000_000);
    }

    @Test
    void programmingLeavesTheImageInTheChipAndInZzDat() throws Exception {
        Random random = new Random(7);
        int[][] pairs = new int[300][];
        for (int i = 0; i < pairs.length; i++) {
            pairs[i] = new int[] {random.nextInt(65536), random.nextInt(256)};
        }
        byte[] image = writeProgramHex(pairs);
        try (SimServer sim = startSim()) {
            NativeRun run = NativeRun.run("SpiTest#programChild", dir);
            assertEquals("3", run.reported("return").get(0));
            assertTrue(run.stdout.endsWith("INDEX= 65536\nPassing Write Data =0\n"));
            assertArrayEquals(image, chip());
        }
        String[] lines = Files.readString(dir.resolve("zz.dat"), StandardCharsets.US_ASCII)
                .split("\n");
        assertEquals(65536, lines.length);
        for (int address = 0; address < 65536; address++) {
            assertEquals(Integer.toHexString(address) + "  "
                    + Integer.toHexString(image[address] & 0xFF), lines[address]);
        }
    }

    @Test
    void theWhole64KiBIsProgrammedWellUnderFiveSeconds() throws Exception {
        int[][] pairs = new int[65536][];
        for (int address = 0; address < 65536; address++) {
            pairs[address] = new int[] {address, (address * 31 + 7) & 0xFF};
        }
        byte[] image = writeProgramHex(pairs);
        try (SimServer sim = startSim()) {
            NativeRun run = NativeRun.run("SpiTest#programChild", dir);
            long ms = Long.parseLong(run.reported("ms").get(0));
            assertTrue(ms < 5000, "programming took " + ms + " ms");
            assertArrayEquals(image, chip());
        }
    }

    public static void unwritableDumpChild() {
        NativeRun.report("program", I2C_DLN.spiProgramEEPROM(new int[255]));
        loopbackChild();
    }

    @Test
    void unwritableZzDatEndsTheProgrammingButNotTheJavaProgram() throws Exception {
        byte[] image = writeProgramHex(new int[][] {{0x10, 0xAB}});
        try (SimServer sim = startSim()) {
            NativeRun.run("SpiTest#programChild", dir);
            assertArrayEquals(image, chip());
            Files.delete(dir.resolve("zz.dat"));
            Files.createDirectory(dir.resolve("zz.dat"));
            NativeRun run = NativeRun.run("SpiTest#unwritableDumpChild", dir);
            assertEquals(0, run.exitCode, run.stderr);
            assertTrue(run.stderr.contains("Could not open file zz.dat to write.\n"), run.stderr);
            assertEquals("3", run.reported("program").get(0));
            assertArrayEquals(new int[] {4, 1, 0, 2, 0x40, 0x42, 0x0F, 0, 0xA5, 0, 0x7F, 0xFF,
                    -3, -3}, run.reportedInts("slots"));
            // The dump is checked before the erase, so the chip keeps what it held.
            assertArrayEquals(image, chip());
        }
    }
}

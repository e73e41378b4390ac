import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;

/**
 * Random NACKs, failed calls and flipped reply bits drawn from a seed: the same seed gives the
 * same run byte for byte, so a failing run is repeated by its seed, and dln-sim reports on
 * stopping how many calls it failed.
 */
public class RandomFaultTest {
    static final Pattern INJECTED = Pattern.compile("(\\d+) calls failed by injected faults");

    /** In the child: calls whose output depends on the bus only, not on time. */
    public static void child() {
        for (int round = 0; round < 20; round++) {
            int[] write = new int[255];
            write[0] = 0x50;
            write[1] = 3;
            write[2] = 0x10;
            write[3] = round;
            write[4] = 0xA5;
            I2C_DLN.write(write);
            int[] read = new int[255];
            read[0] = 0x50;
            read[1] = 4;
            I2C_DLN.read(read);
            int[] adc = new int[255];
            adc[0] = 0x48;
            adc[1] = round;
            I2C_DLN.adcsdac(adc);
            int[] spi = {4, 0, 0, 1, 0x40, 0x42, 0x0F, 0, 1, 2, round, 0xFF};
            I2C_DLN.spiWriteRead(spi);
            NativeRun.report("slots", spi);
        }
    }

    record Outcome(String stdout, int injected) {}

    static Outcome runWithSeed(int seed) throws Exception {
        Path dir = Files.createTempDirectory("random-faults");
        Path scenario = dir.resolve("scenario.json");
        Files.writeString(scenario, "{\"randomFaults\": {\"seed\": " + seed + ", \"rate\": 0.15,"
                + " \"calls\": [\"DlnI2cMasterWrite\", \"DlnI2cMasterRead\","
                + " \"DlnSpiMasterReadWrite\", \"DlnI2cMasterEnable\"]}}");
        SimServer sim = SimServer.start(scenario, null);
        NativeRun run;
        try {
            run = NativeRun.run("RandomFaultTest#child", dir);
        } finally {
            assertEquals(0, sim.stop(), "dln-sim did not stop cleanly: " + sim.output());
        }
        assertEquals(0, run.exitCode, run.stderr);
        for (String line : sim.output()) {
            Matcher m = INJECTED.matcher(line);
            if (m.find()) {
                return new Outcome(run.stdout, Integer.parseInt(m.group(1)));
            }
        }
        throw new AssertionError("dln-sim did not report its injected faults: " + sim.output());
    }

    @Test
    void theSameSeedRepeatsTheRunAndAnotherSeedDoesNot() throws Exception {
        Outcome first = runWithSeed(11);
        Outcome again = runWithSeed(11);
        Outcome other = runWithSeed(12);
        assertTrue(first.injected > 0, "no fault was injected");
        assertEquals(first.injected, again.injected);
        assertEquals(first.stdout, again.stdout);
        assertNotEquals(first.stdout, other.stdout);
        for (String line : List.of("DlnI2cMasterWriteDevices() failed\n",
                "DlnI2cMasterReadDevices() failed\n",
                "DlnI2cMasterEnable() function returns 0x4F\n")) {
            assertTrue(first.stdout.contains(line) || other.stdout.contains(line),
                    "no run shows " + line);
        }
    }
}

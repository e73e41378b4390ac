import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * 10,000 calls mixing the methods against dln-sim: the descriptors and the resident memory of
 * both the JVM and the server must settle after a warm-up and stay there.
 */
public class SoakTest {
    static final int CALLS = 10_000;
    static final int WARM_UP = 2_000;
    static final long JVM_GROWTH_KB = 8 * 1024;
    static final long SERVER_GROWTH_KB = 4 * 1024;

    static int[] slots(int... leading) {
        int[] slots = new int[255];
        System.arraycopy(leading, 0, slots, 0, leading.length);
        return slots;
    }

    /** Call i of the mix; the methods that wait for a board or the sensor come rarely. */
    static void call(int i) {
        switch (i % 10) {
            case 0 -> I2C_DLN.read(slots(0x50, 8));
            case 1 -> I2C_DLN.write(slots(0x50, 3, 0x10, i & 0xFF, 7));
            case 2 -> I2C_DLN.i2cScan(new int[10]);
            case 3 -> I2C_DLN.adcsdac(slots(0x48, i & 0xFF));
            case 4 -> I2C_DLN.spiWriteRead(slots(4, 0, 0, 1, 0x40, 0x42, 0x0F, 0, 1, 2, 3, 4));
            case 5 -> I2C_DLN.dualServo_1500_PWM(slots(0x51, 0x52, 5, 0xDC, 6, 0x40, 0, 0));
            case 6 -> I2C_DLN.I2C_Servo_PWM_Sequence(slots(1, 0, 0x51, 5, 0xDC, 0));
            case 7 -> I2C_DLN.spiWriteRead(slots(2, 1, 1, 0, 0x40, 0x42, 0x0F, 0, 0x9F, 0));
            case 8 -> I2C_DLN.print();
            default -> rare(i);
        }
    }

    static void rare(int i) {
        switch ((i / 10) % 200) {
            case 0 -> I2C_DLN.Ultra_Sonic(slots(0x70));
            case 50 -> I2C_DLN.ReadMotorSpeeds(slots(0x30, 1));
            case 100 -> I2C_DLN.dualServo_1500_Current(slots(0x51, 0x52));
            case 150 -> I2C_DLN.spiEraseEEPROM(slots());
            case 25, 75, 125, 175 -> I2C_DLN.I2C_LaserMeasurement(slots(0x29, 2));
            default -> I2C_DLN.read(slots(0x29, 1));
        }
    }

    static long fds(String pid) {
        String[] entries = new File("/proc/" + pid + "/fd").list();
        return entries == null ? -1 : entries.length;
    }

    static long rssKb(String pid) throws Exception {
        for (String line : Files.readAllLines(Path.of("/proc/" + pid + "/status"))) {
            if (line.startsWith("VmRSS:")) {
                return Long.parseLong(line.replaceAll("[^0-9]", ""));
            }
        }
        return -1;
    }

    static void sample(String when, String server) throws Exception {
        NativeRun.report(when + ".jvmFds", fds("self"));
        NativeRun.report(when + ".jvmRss", rssKb("self"));
        NativeRun.report(when + ".simFds", fds(server));
        NativeRun.report(when + ".simRss", rssKb(server));
    }

    public static void child() throws Exception {
        String server = Files.readString(Path.of("server.pid")).trim();
        I2C_DLN.I2C_LaserMeasurement(slots(0x29, 0));
        I2C_DLN.I2C_LaserMeasurement(slots(0x29, 1));
        for (int i = 0; i < CALLS; i++) {
            if (i == WARM_UP) {
                System.gc();
                sample("warm", server);
            }
            call(i);
        }
        System.gc();
        sample("end", server);
    }

    static long value(NativeRun run, String key) {
        return Long.parseLong(run.reported(key).get(0));
    }

    @Test
    void tenThousandCallsLeaveDescriptorsAndMemorySteady() throws Exception {
        Path dir = Files.createTempDirectory("soak");
        NativeRun run;
        try (SimServer sim = SimServer.start(null, null)) {
            Files.writeString(dir.resolve("server.pid"), String.valueOf(sim.pid()));
            // The heap is touched at start, so that its growth does not hide a native leak.
            run = NativeRun.run("SoakTest#child", dir,
                    List.of("-Xms64m", "-Xmx64m", "-XX:+AlwaysPreTouch"));
        }
        assertEquals(0, run.exitCode, run.stderr);
        String summary = String.join(", ", run.reported("warm.jvmFds")) + " " + run.stderr;
        for (String process : new String[] {"jvm", "sim"}) {
            long before = value(run, "warm." + process + "Fds");
            long after = value(run, "end." + process + "Fds");
            assertTrue(before > 0 && Math.abs(after - before) <= 2,
                    process + " descriptors " + before + " -> " + after);
        }
        long jvmGrowth = value(run, "end.jvmRss") - value(run, "warm.jvmRss");
        long simGrowth = value(run, "end.simRss") - value(run, "warm.simRss");
        assertTrue(jvmGrowth < JVM_GROWTH_KB, "JVM grew by " + jvmGrowth + " kB: " + summary);
        assertTrue(simGrowth < SERVER_GROWTH_KB, "dln-sim grew by " + simGrowth + " kB");
        assertTrue(!run.stdout.contains("Failed to connect"), "a call could not connect");
        System.out.println("soak: " + run.stderr.replace('\n', ' '));
    }
}
